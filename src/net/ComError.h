#pragma once

#include <cstdint>

// Status codes the network objects report failures with, in the form the
// game has always shown them.
constexpr std::uint32_t E_FAIL                    = 0x80004005;
constexpr std::uint32_t DPNERR_ALREADYCONNECTED   = 0x80158060;
constexpr std::uint32_t DPNERR_INVALIDHOSTADDRESS = 0x80158370;
constexpr std::uint32_t DPNERR_NOCONNECTION       = 0x80158480;

// "Error on CoCreateInstance(<object>)" with "Unknown error code:<code>": a
// network object could not be made.
void reportComError(std::uint32_t code, const char* objectName);

// "Client Connect Error" with "Connect returned <the code's name>".
void reportConnectError(std::uint32_t code);
