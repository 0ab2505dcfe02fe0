#include "ProtocolTable.h"

#include <sstream>
#include <vector>

#include "rules/MessageCodec.h"
#include "rules/PackedForm.h"

namespace {

std::string rangeText(const FieldRange range) {
    if (range.min == INT32_MIN && range.max == INT32_MAX) {
        return "any";
    }
    if (range.max == INT32_MAX) {
        return std::to_string(range.min) + " or more";
    }
    return std::to_string(range.min) + " … " + std::to_string(range.max);
}

std::string flagsText(const std::uint32_t flags) {
    std::string text;
    const auto  add = [&](const std::uint32_t flag, const char* const name) {
        if ((flags & flag) != 0) {
            text += (text.empty() ? "" : ", ") + std::string(name);
        }
    };
    add(DPNSEND_SYNC, "SYNC");
    add(DPNSEND_PRIORITY_HIGH, "PRIORITY_HIGH");
    add(DPNSEND_PRIORITY_LOW, "PRIORITY_LOW");
    add(DPNSEND_GUARANTEED, "GUARANTEED");
    return text;
}

// Where a field starts: a number of bytes, then lengths only the message
// knows (L, N entries), and what it moves by in some entries only.
struct Offset {
    int         bytes = 0;
    std::string variable;          // " + L", " + N entries" ...
    int         conditional = 0;   // more bytes in some entries
    std::string conditionalWhere;  // which

    std::string text() const {
        std::string shown = std::to_string(bytes) + variable;
        if (conditional != 0) {
            shown += ", or " + std::to_string(bytes + conditional) + variable + " in " + conditionalWhere;
        }
        return shown;
    }
};

// Lays the fields out as table rows, the way a description names them.
class LayoutTable {
public:
    void number(const char* meaning, std::int32_t& /*field*/, const FieldRange range) {
        row("int32 " + std::string(meaning), rangeText(range), packedWidth(range));
        at.bytes += 4;
    }
    void cell(const char* meaning, Position& pos) {
        number((std::string(meaning) + ": x").c_str(), pos.x, {0, MAPSIZE - 1});
        number((std::string(meaning) + ": y").c_str(), pos.y, {0, MAPSIZE - 1});
    }
    void text(const char* meaning, std::string& /*field*/, const TextLayout layout) {
        const std::string count =
            layout.zeroTerminated ? "L: its length, the terminating zero included" : "L: its length in bytes";
        row("int32 " + count, rangeText({layout.zeroTerminated ? 1 : 0, layout.maxBytes}),
            packedWidth({0, layout.maxBytes - (layout.zeroTerminated ? 1 : 0)}) +
                (layout.zeroTerminated ? ", the zero not counted" : ""));
        at.bytes += 4;
        row("L bytes: " + std::string(meaning) + (layout.zeroTerminated ? ", zero-terminated" : ""), "",
            layout.zeroTerminated ? "8 bits each, the zero left out" : "8 bits each");
        at.variable += " + L";
    }
    template <class Element>
    void list(const char* meaning, std::vector<Element>& /*field*/, const std::int32_t maxCount) {
        row("int32 N: number of " + std::string(meaning), rangeText({0, maxCount}), packedWidth({0, maxCount}));
        at.bytes += 4;
        LayoutTable element;
        Element     sample;
        sample.describe(element);
        row("N " + std::string(meaning) + ", each as below", "", "");
        const std::string each = element.at.text();
        at.variable += " + N × " + (element.at.conditional != 0 ? "(" + each + ")" : each);
        elements.push_back(element.rows);
    }
    template <class Fields>
    void when(const bool /*condition*/, const char* what, Fields&& fields) {
        const int before = at.bytes;
        note             = std::string(" (in ") + what + " only)";
        fields();
        note.clear();
        at.conditional      = at.bytes - before;
        at.conditionalWhere = what;
        at.bytes            = before;
    }

    std::vector<std::string>              rows;
    std::vector<std::vector<std::string>> elements;
    Offset                                at;

private:
    void row(const std::string& field, const std::string& range, const std::string& packed) {
        rows.push_back("| " + at.text() + " | " + field + note + " | " + range + " | " + packed + " |");
    }

    std::string note;
};

void addTable(std::ostringstream& out, const std::vector<std::string>& rows) {
    out << "| offset | field | range | packed |\n|---|---|---|---|\n";
    for (const std::string& row : rows) {
        out << row << "\n";
    }
}

}  // namespace

std::string gameMessageTable() {
    std::ostringstream summary;
    std::ostringstream layouts;
    summary << "| id | name | sent | flags | size in bytes |\n|---|---|---|---|---|\n";
    int kindIndex = 0;
    forEachMessage([&](auto tag) {
        using Message          = typename decltype(tag)::Type;
        const MessageKind kind = Message::KIND;
        LayoutTable       table;
        table.at.bytes = 4;
        Message sample;
        sample.describe(table);

        std::string flags = "host: " + flagsText(kind.flags);
        if (kind.flagsToHost != 0) {
            flags += "; player: " + flagsText(kind.flagsToHost);
        }
        summary << "| " << kind.id << " | `" << kind.name << "` | " << kind.route << " | " << flags << " | "
                << table.at.text() << " |\n";

        layouts << "\n### `" << kind.name << "` (" << kind.id << ")\n\n";
        table.rows.insert(table.rows.begin(), "| 0 | int32 " + std::to_string(kind.id) +
                                                  " | | the kind: " + std::to_string(kindIndex++) + " in " +
                                                  std::to_string(packedKindBits()) + " bits |");
        addTable(layouts, table.rows);
        for (const std::vector<std::string>& element : table.elements) {
            layouts << "\nEach of them, from its own start:\n\n";
            addTable(layouts, element);
        }
    });
    return summary.str() + layouts.str();
}

std::optional<std::string> withGameMessageTable(const std::string& document) {
    const std::size_t begin = document.find(TABLE_BEGIN);
    const std::size_t end   = document.find(TABLE_END);
    if (begin == std::string::npos || end == std::string::npos || end < begin) {
        return std::nullopt;
    }
    const std::size_t from = begin + std::string(TABLE_BEGIN).size();
    return document.substr(0, from) + "\n\n" + gameMessageTable() + "\n" + document.substr(end);
}
