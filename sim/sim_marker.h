/* The page marker of the simulated scanners: every page carries its sheet
 * number and side ("3A" = front of sheet 3, "3B" = its back) in large glyphs
 * of a 5 x 7 cell font, near the top-left corner of the page.
 *
 * Geometry, in pixels of the page at `resolution` dpi:
 *   cell   = sim_marker_cell(resolution)   (about 3 mm)
 *   origin = (4 * cell, 4 * cell)
 *   glyph i occupies columns origin.x + 6*cell*i ... + 5*cell, rows
 *   origin.y ... + 7*cell; a cell is ink (black) or paper (white) as a whole.
 *
 * sim_marker_decode() reads the text back from an 8-bit gray copy of a page
 * by sampling the centre of every cell; it is plain C and header-only so that
 * tests in any language of the project can use it. */
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

#define SIM_MARKER_MAX_GLYPHS 8

/* Rows of each glyph, 5 bits per row, bit 4 = leftmost cell. */
static const char sim_marker_chars[] = "0123456789AB-";
static const unsigned char sim_marker_font[13][7] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, /* 0 */
    {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}, /* 1 */
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, /* 2 */
    {0x1E, 0x01, 0x01, 0x0E, 0x01, 0x01, 0x1E}, /* 3 */
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, /* 4 */
    {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}, /* 5 */
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, /* 6 */
    {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}, /* 7 */
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, /* 8 */
    {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}, /* 9 */
    {0x04, 0x0A, 0x11, 0x11, 0x1F, 0x11, 0x11}, /* A */
    {0x1E, 0x11, 0x11, 0x1E, 0x11, 0x11, 0x1E}, /* B */
    {0x00, 0x00, 0x00, 0x1F, 0x00, 0x00, 0x00}, /* - */
};

static inline int sim_marker_cell(int resolution)
{
    int cell = (resolution * 3 + 12) / 25;
    return cell < 2 ? 2 : cell;
}

/* Index of character ch in the font, -1 when it has no glyph. */
static inline int sim_marker_glyph(char ch)
{
    for (int i = 0; sim_marker_chars[i]; ++i)
        if (sim_marker_chars[i] == ch)
            return i;
    return -1;
}

/* Whether pixel (x, y) is ink for the text at resolution dpi. */
static inline int sim_marker_ink(const char* text, int resolution, int x, int y)
{
    int cell = sim_marker_cell(resolution);
    int cx = x - 4 * cell, cy = y - 4 * cell;
    if (cx < 0 || cy < 0 || cy >= 7 * cell)
        return 0;
    int col = cx / cell, row = cy / cell;
    int gi = col / 6, gx = col % 6;
    if (gx == 5 || gi >= SIM_MARKER_MAX_GLYPHS)
        return 0;
    for (int i = 0; i < gi; ++i)
        if (!text[i])
            return 0;
    int g = sim_marker_glyph(text[gi]);
    if (g < 0)
        return 0;
    return (sim_marker_font[g][row] >> (4 - gx)) & 1;
}

/* Reads the marker text of an 8-bit gray page (0 = black) into out.
 * Returns the number of glyphs read; stops at the first blank or unknown
 * glyph. */
static inline int sim_marker_decode(const unsigned char* gray, int width, int height, int stride,
                                    int resolution, char* out, int outlen)
{
    int cell = sim_marker_cell(resolution), n = 0;
    for (int gi = 0; gi < SIM_MARKER_MAX_GLYPHS && n + 1 < outlen; ++gi) {
        unsigned char rows[7] = {0};
        int inked = 0;
        for (int row = 0; row < 7; ++row)
            for (int gx = 0; gx < 5; ++gx) {
                int x = 4 * cell + (gi * 6 + gx) * cell + cell / 2;
                int y = 4 * cell + row * cell + cell / 2;
                if (x >= width || y >= height)
                    goto done;
                if (gray[(long)y * stride + x] < 128) {
                    rows[row] |= (unsigned char)(1 << (4 - gx));
                    inked = 1;
                }
            }
        if (!inked)
            break;
        int found = -1;
        for (int g = 0; sim_marker_chars[g] && found < 0; ++g) {
            int same = 1;
            for (int row = 0; row < 7; ++row)
                same = same && rows[row] == sim_marker_font[g][row];
            if (same)
                found = g;
        }
        if (found < 0)
            break;
        out[n++] = sim_marker_chars[found];
    }
done:
    if (outlen > 0)
        out[n] = '\0';
    return n;
}

#ifdef __cplusplus
}
#endif
