#pragma once

// Well-formed messages of every kind, made from their descriptions: for the
// fuzzers' seeds and the tests of what every decoder refuses.

#include <algorithm>
#include <string>
#include <vector>

#include "rules/MessageCodec.h"

// Fills every field: each number at one end of its range (the low end, or 0
// where the range holds it), every list with two elements, every text with
// a few bytes.
class SampleFields {
public:
    explicit SampleFields(const bool high) : high(high) {}

    void number(const char* /*meaning*/, std::int32_t& value, const FieldRange range) {
        value = high ? range.max : std::clamp(0, range.min, range.max);
    }
    void cell(const char* /*meaning*/, Position& pos) { pos = high ? Position{MAPSIZE - 1, MAPSIZE - 1} : Position{}; }
    void text(const char* /*meaning*/, std::string& text, const TextLayout /*layout*/) {
        text = high ? "Levels/map2.raw" : "";
    }
    template <class Element>
    void list(const char* /*meaning*/, std::vector<Element>& items, std::int32_t /*maxCount*/) {
        items.resize(2);
        for (Element& item : items) {
            item.describe(*this);
        }
    }
    template <class Fields>
    void when(const bool condition, const char* /*what*/, Fields&& fields) {
        if (condition) {
            fields();
        }
    }

private:
    bool high;
};

template <class Message>
Message sampleMessage(const bool high) {
    Message      message;
    SampleFields sample(high);
    message.describe(sample);
    return message;
}
