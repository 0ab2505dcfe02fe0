#include "draw/Text.h"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <utf8proc.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/FrameState.h"
#include "platform/GameAssert.h"

namespace {

// Glyphs past U+00FF kept compiled at once; a name may carry thousands of
// distinct characters, and each costs a display list.
constexpr std::size_t MAX_COMPILED_GLYPHS = 4096;

// Stands for a malformed UTF-8 sequence: above Unicode, so no font has it.
constexpr char32_t MALFORMED = 0x110000;

struct Glyph {
    GLuint list    = 0;  // 0: nothing to draw
    float  advance = 0.0f;
};

struct LibraryCloser {
    void operator()(const FT_Library library) const { FT_Done_FreeType(library); }
};
struct FaceCloser {
    void operator()(const FT_Face face) const { FT_Done_Face(face); }
};

// The font stays open for the glyphs compiled when first drawn. The face is
// declared after its library so that it is closed first.
struct Font {
    std::unique_ptr<FT_LibraryRec_, LibraryCloser> library;
    std::unique_ptr<FT_FaceRec_, FaceCloser>       face;
    Glyph                                          box;  // the missing-glyph glyph, index 0
    std::unordered_map<char32_t, Glyph>            compiled;
};

Font                   font;
std::array<float, 256> advances{};

}  // namespace

std::string defaultFontFile() {
    std::string      file;
    FcPattern* const pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
    if (pattern == nullptr) {
        return file;
    }
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult         result;
    FcPattern* const match = FcFontMatch(nullptr, pattern, &result);
    FcChar8*         path  = nullptr;
    if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
        file = reinterpret_cast<const char*>(path);
    }
    if (match != nullptr) {
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

namespace {

// The glyph's bitmap with its rows bottom-up, as glBitmap wants them.
std::vector<GLubyte> bottomUpRows(const FT_Bitmap& bitmap) {
    const int            rowSize = (static_cast<int>(bitmap.width) + 7) / 8;
    std::vector<GLubyte> rows(static_cast<std::size_t>(rowSize) * bitmap.rows + 1, 0);
    for (unsigned row = 0; row < bitmap.rows; ++row) {
        std::memcpy(&rows[static_cast<std::size_t>(rowSize) * (bitmap.rows - 1 - row)],
                    bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch, static_cast<std::size_t>(rowSize));
    }
    return rows;
}

// Records the glyph with this index as a bitmap in the list; its advance, or
// 0 when the font cannot render it. glBitmap copies the rows when the list
// is compiled, so they are read with the packing they were made with,
// whatever other drawing left set.
float compileGlyph(const FT_Face face, const FT_UInt index, const GLuint list) {
    float advance = 0.0f;
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glNewList(list, GL_COMPILE);
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
        const FT_GlyphSlot         glyph  = face->glyph;
        const FT_Bitmap&           bitmap = glyph->bitmap;
        const std::vector<GLubyte> rows   = bottomUpRows(bitmap);
        advance                           = static_cast<float>(glyph->advance.x) / 64.0f;
        glBitmap(static_cast<GLsizei>(bitmap.width), static_cast<GLsizei>(bitmap.rows),
                 static_cast<GLfloat>(-glyph->bitmap_left),
                 static_cast<GLfloat>(static_cast<int>(bitmap.rows) - glyph->bitmap_top), advance, 0.0f, rows.data());
    }
    glEndList();
    glPopClientAttrib();
    return advance;
}

// A glyph in a list of its own, or nothing when no list is to be had.
Glyph compileInNewList(const FT_UInt index) {
    const GLuint list = glGenLists(1);
    return list == 0 ? Glyph{} : Glyph{list, compileGlyph(font.face.get(), index, list)};
}

// The view height up to which glyphs keep their first size.
constexpr int REFERENCE_VIEW_HEIGHT = 480;
int           builtHeight           = 0;

// The previous context's lists died with it, so they are only forgotten.
void closeFont() {
    font.compiled.clear();
    font.box = Glyph{};
    font.face.reset();
    font.library.reset();
    advances.fill(0.0f);
}

bool openFont() {
    const std::string file    = defaultFontFile();
    FT_Library        library = nullptr;
    if (file.empty() || FT_Init_FreeType(&library) != 0) {
        return false;
    }
    font.library.reset(library);
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), 0, &face) != 0) {
        return false;
    }
    font.face.reset(face);
    builtHeight = glyphPixelHeight();
    return FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(builtHeight)) == 0;
}

// A glyph past U+00FF that the font has, compiled the first time it is drawn.
// When too many are kept they are all dropped and compiled again as needed.
Glyph compiledGlyph(const char32_t code, const FT_UInt index) {
    const auto known = font.compiled.find(code);
    if (known != font.compiled.end()) {
        return known->second;
    }
    if (font.compiled.size() >= MAX_COMPILED_GLYPHS) {
        for (const auto& [dropped, glyph] : font.compiled) {
            glDeleteLists(glyph.list, 1);
        }
        font.compiled.clear();
    }
    const Glyph glyph = compileInNewList(index);
    if (glyph.list == 0) {
        return font.box;
    }
    font.compiled.emplace(code, glyph);
    return glyph;
}

Glyph glyphOf(const char32_t code) {
    if (code < advances.size()) {
        return {TEXT_LIST_BASE + code, advances[code]};
    }
    const FT_UInt index = code == MALFORMED ? 0 : FT_Get_Char_Index(font.face.get(), code);
    return index == 0 ? font.box : compiledGlyph(code, index);
}

// The code point starting at `at`, which moves past it. A malformed sequence
// is MALFORMED once, with the continuation bytes after its start, so a
// character cut short is one box and a stray byte is one box.
char32_t nextCodePoint(const std::string_view text, std::size_t& at) {
    utf8proc_int32_t       code = 0;
    const utf8proc_ssize_t used = utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                                                   static_cast<utf8proc_ssize_t>(text.size() - at), &code);
    if (used > 0) {
        at += static_cast<std::size_t>(used);
        return static_cast<char32_t>(code);
    }
    ++at;
    while (at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) {
        ++at;
    }
    return MALFORMED;
}

template <typename Visit>
void forEachGlyph(const std::string_view text, const Visit& visit) {
    if (!font.face) {
        return;
    }
    for (std::size_t at = 0; at < text.size();) {
        visit(glyphOf(nextCodePoint(text, at)));
    }
}

std::string formatted(const char* const format, va_list arguments) {
    va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    return text;
}

}  // namespace

int glyphPixelHeight() {
    return std::max(GLYPH_PIXEL_HEIGHT, GLYPH_PIXEL_HEIGHT * screenHeight / REFERENCE_VIEW_HEIGHT);
}

void fitFontToView() {
    if (!font.face || glyphPixelHeight() == builtHeight) {
        return;
    }
    // The same context: the glyphs compiled on demand are let go, the fixed
    // lists are compiled again over their old selves.
    for (const auto& [code, glyph] : font.compiled) {
        glDeleteLists(glyph.list, 1);
    }
    if (font.box.list != 0) {
        glDeleteLists(font.box.list, 1);
    }
    createFontLists();
}

void createFontLists() {
    closeFont();
    glListBase(TEXT_LIST_BASE);
    if (!openFont()) {
        return;
    }
    for (char32_t code = 0; code < advances.size(); ++code) {
        advances[code] = compileGlyph(font.face.get(), FT_Get_Char_Index(font.face.get(), code), TEXT_LIST_BASE + code);
    }
    // After the fixed lists, so that no list name handed out collides with them.
    font.box = compileInNewList(0);
}

void drawText(const float x, const float y, const char* const format, ...) {
    GAME_ASSERT(format, SITE_TEXT_FORMAT);
    va_list arguments;
    va_start(arguments, format);
    const std::string text = formatted(format, arguments);
    va_end(arguments);

    glRasterPos2f(x, y);
    forEachGlyph(text, [](const Glyph& glyph) {
        if (glyph.list != 0) {
            glCallList(glyph.list);
        }
    });
    glFlush();
}

float textWidth(const std::string& text) {
    float width = 0.0f;
    forEachGlyph(text, [&width](const Glyph& glyph) { width += glyph.advance; });
    return width;
}
