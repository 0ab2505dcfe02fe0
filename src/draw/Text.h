#pragma once

#include <string>

// Text on the OpenGL view, decoded as UTF-8 and drawn with the glyphs of the
// desktop's default sans-serif font. Code points U+0000 ... U+00FF have one
// display list each, starting at TEXT_LIST_BASE; others are compiled when
// first drawn. What the font lacks, and each malformed sequence, is drawn as
// one box (the font's missing-glyph glyph).

constexpr unsigned TEXT_LIST_BASE = 1000;

// The glyphs' height in pixels: 14 in views up to 480 pixels high, and in
// taller ones as much more as the view is taller, so text keeps its share
// of the screen.
constexpr int GLYPH_PIXEL_HEIGHT = 14;
int           glyphPixelHeight();

// Builds the glyph lists in the current OpenGL context, at the height the
// view calls for; every new context needs its own. Without a usable font the
// lists stay empty and text is simply not drawn.
void createFontLists();
// Builds them again when the view's height calls for another glyph height.
void fitFontToView();

// Draws a printf-style line starting at the raster position (x, y), taken
// through the current matrices, in the current colour. A line whose start
// falls outside the view is not drawn at all.
void drawText(float x, float y, const char* format, ...) __attribute__((format(printf, 3, 4)));

// The file of the desktop's default sans-serif font, or "" when there is none.
std::string defaultFontFile();

// How far the raster position moves for a whole line, in pixels. Like
// drawText it needs the context createFontLists ran in.
float textWidth(const std::string& text);
