#include "draw/Text.h"

#include <GL/gl.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/GameAssert.h"

namespace {

constexpr int GLYPH_PIXEL_HEIGHT = 14;

std::array<float, 256> advances{};

// Character codes above 127 are read in the Windows Western code page, the
// one the game's texts were written in.
FT_ULong unicodeOf(const unsigned char c) {
    static constexpr FT_ULong CP1252_HIGH[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    return c >= 0x80 && c < 0xA0 ? CP1252_HIGH[c - 0x80] : c;
}

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

// One glyph as a bitmap list: glBitmap wants the rows bottom-up.
void compileGlyph(const FT_Face face, const unsigned char c) {
    const FT_UInt index = FT_Get_Char_Index(face, unicodeOf(c));
    glNewList(TEXT_LIST_BASE + c, GL_COMPILE);
    if (FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
        const FT_GlyphSlot   glyph   = face->glyph;
        const FT_Bitmap&     bitmap  = glyph->bitmap;
        const int            rowSize = (static_cast<int>(bitmap.width) + 7) / 8;
        std::vector<GLubyte> rows(static_cast<std::size_t>(rowSize) * bitmap.rows + 1, 0);
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            std::memcpy(&rows[static_cast<std::size_t>(rowSize) * (bitmap.rows - 1 - row)],
                        bitmap.buffer + static_cast<std::ptrdiff_t>(row) * bitmap.pitch,
                        static_cast<std::size_t>(rowSize));
        }
        advances[c] = static_cast<float>(glyph->advance.x) / 64.0f;
        glBitmap(static_cast<GLsizei>(bitmap.width), static_cast<GLsizei>(bitmap.rows),
                 static_cast<GLfloat>(-glyph->bitmap_left),
                 static_cast<GLfloat>(static_cast<int>(bitmap.rows) - glyph->bitmap_top), advances[c], 0.0f,
                 rows.data());
    }
    glEndList();
}

}  // namespace

void createFontLists() {
    glListBase(TEXT_LIST_BASE);
    const std::string file    = defaultFontFile();
    FT_Library        library = nullptr;
    if (file.empty() || FT_Init_FreeType(&library) != 0) {
        return;
    }
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), 0, &face) == 0) {
        FT_Set_Pixel_Sizes(face, 0, GLYPH_PIXEL_HEIGHT);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        for (int c = 0; c < 256; ++c) {
            compileGlyph(face, static_cast<unsigned char>(c));
        }
        FT_Done_Face(face);
    }
    FT_Done_FreeType(library);
}

void drawText(const float x, const float y, const char* const format, ...) {
    GAME_ASSERT(format, SITE_TEXT_FORMAT);
    char    text[256];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);

    glRasterPos2f(x, y);
    glCallLists(static_cast<GLsizei>(std::strlen(text)), GL_UNSIGNED_BYTE, text);
    glFlush();
}

float glyphAdvance(const unsigned char c) {
    return advances[c];
}
