#pragma once

#include <cstdint>

// Status codes the network objects report failures with, in the form the
// game has always shown them.
constexpr std::uint32_t E_NOINTERFACE             = 0x80004002;
constexpr std::uint32_t E_FAIL                    = 0x80004005;
constexpr std::uint32_t CLASS_E_NOAGGREGATION     = 0x80040110;
constexpr std::uint32_t REGDB_E_CLASSNOTREG       = 0x80040154;
constexpr std::uint32_t CO_E_NOTINITIALIZED       = 0x800401F0;
constexpr std::uint32_t DPNERR_ALREADYCONNECTED   = 0x80158060;
constexpr std::uint32_t DPNERR_INVALIDHOSTADDRESS = 0x80158370;
constexpr std::uint32_t DPNERR_NOCONNECTION       = 0x80158480;

// "Error on CoCreateInstance(<object>)": a network object could not be made.
void reportComError(std::uint32_t code, const char* objectName);

// "Client Connect Error" with the text the game shows for the code. Codes
// that have no text are not reported.
void reportConnectError(std::uint32_t code);
