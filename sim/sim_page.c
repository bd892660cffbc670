/* Page pictures of the simulated scanners: a white sheet with the sheet
 * marker (sim_marker.h), three colour patches below it and thin grey rules
 * every 10 mm further down; with text pages on, lines of printed text sit
 * between the patches and the rules. Rows are produced on demand, so even long pages
 * never exist in memory as a whole. */
#include "sim.h"
#include "sim_marker.h"

#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

static int mm_to_px(SANE_Word mm, int res)
{
    int px = (int)floor(SANE_UNFIX(mm) * res / 25.4 + 0.5);
    return px < 1 ? 1 : px;
}

int sim_page_images(sim_device* dev)
{
    int multi = strcmp(sim_opt_str(dev, O_MODE, ""), "Multi-image-output") == 0;
    return (multi ? 2 : 1) * (sim_opt_word(dev, O_SPLIT, 0) ? 2 : 1);
}

/* Image kind and depth from the mode; sub-image 1 of a multi-image output
 * is its black-and-white companion. */
static void setup_kind(sim_page* p, sim_device* dev, const sim_control* c, int bw_companion)
{
    const char* mode = sim_opt_str(dev, O_MODE, "Color");
    const char* multi = sim_opt_str(dev, O_MULTI_LIST, "Color+BW");
    int gray_multi = strcmp(mode, "Multi-image-output") == 0 && strcmp(multi, "Gray+BW") == 0;
    p->color = 0;
    if (strcmp(mode, "Lineart") == 0 || bw_companion) {
        p->depth = 1;
    } else {
        p->depth = c->depth == 16 ? 16 : 8;
        p->color = !(strcmp(mode, "Gray") == 0 || gray_multi);
    }
}

int sim_page_merging(sim_device* dev)
{
    sim_option* merge = sim_opt(dev, O_MERGE);
    return merge && !(merge->d.cap & SANE_CAP_INACTIVE) && merge->v.w &&
           strcmp(sim_opt_str(dev, O_SOURCE, ""), "Adf-duplex") == 0 && !sim_opt_word(dev, O_SPLIT, 0);
}

static void side_text(char* out, int sheet, char side, int sub)
{
    if (sub > 0)
        snprintf(out, 16, "%d%c-%d", sheet, side, sub + 1);
    else
        snprintf(out, 16, "%d%c", sheet, side);
}

/* Front and back of the sheet in one image; the back goes where
 * "back-side-location" says. */
static void setup_merge(sim_page* p, sim_device* dev, const sim_control* c, int sub)
{
    p->merge = sim_opt_str(dev, O_BACK_LOC, "Top")[0];
    int back_first = p->merge == 'T' || p->merge == 'L';
    side_text(p->marker, p->sheet, back_first ? 'B' : 'A', sub);
    side_text(p->marker2, p->sheet, back_first ? 'A' : 'B', sub);
    p->blank = sim_control_is_blank(c, p->sheet, back_first ? 'B' : 'A');
    p->blank2 = sim_control_is_blank(c, p->sheet, back_first ? 'A' : 'B');
    p->text = p->blank ? NULL : sim_text_for(c->text_dir, p->sheet, back_first ? 'B' : 'A');
    p->text2 = p->blank2 ? NULL : sim_text_for(c->text_dir, p->sheet, back_first ? 'A' : 'B');
    if (p->merge == 'L' || p->merge == 'R') {
        p->width *= 2;
        p->bytes_per_line = p->depth == 1 ? (p->width + 7) / 8 : p->bytes_per_line * 2;
    } else {
        p->lines *= 2;
    }
}

void sim_page_setup(sim_page* p, sim_device* dev, const sim_control* c, int sheet, char side, int sub)
{
    memset(p, 0, sizeof *p);
    p->resolution = sim_opt_word(dev, O_RESOLUTION, 200);
    int multi = strcmp(sim_opt_str(dev, O_MODE, ""), "Multi-image-output") == 0;
    int split = sim_opt_word(dev, O_SPLIT, 0) != 0;
    setup_kind(p, dev, c, multi && sub % 2 == 1);
    SANE_Word wmm, hmm;
    if (sim_opt(dev, O_BRX)) {
        wmm = sim_opt_word(dev, O_BRX, 0) - sim_opt_word(dev, O_TLX, 0);
        hmm = sim_opt_word(dev, O_BRY, 0) - sim_opt_word(dev, O_TLY, 0);
    } else {
        wmm = sim_opt_word(dev, O_PAGE_W, SANE_FIX(210));
        hmm = sim_opt_word(dev, O_PAGE_H, SANE_FIX(297));
    }
    p->width = mm_to_px(wmm, p->resolution);
    p->lines = mm_to_px(hmm, p->resolution);
    if (split) { /* top half first, then the bottom half */
        int bottom = (multi ? sub / 2 : sub) == 1;
        p->lines = bottom ? p->lines / 2 : (p->lines + 1) / 2;
        if (p->lines < 1)
            p->lines = 1;
    }
    p->channel = (p->color && c->three_pass && p->depth == 8) ? 0 : -1;
    int samples = (p->color && p->channel < 0) ? 3 : 1;
    if (p->depth == 1)
        p->bytes_per_line = (p->width + 7) / 8;
    else
        p->bytes_per_line = p->width * samples * (p->depth / 8);
    p->sheet = sheet;
    p->side = side;
    p->part_w = p->width;
    p->part_h = p->lines;
    side_text(p->marker, sheet, side, sub);
    p->blank = sim_control_is_blank(c, sheet, side);
    p->text = p->blank ? NULL : sim_text_for(c->text_dir, sheet, side);
    if (sim_page_merging(dev))
        setup_merge(p, dev, c, sub);
}

typedef struct rgb {
    int r, g, b;
} rgb;

static const rgb white = {255, 255, 255}, black = {0, 0, 0}, rule = {200, 200, 200};
static const rgb patches[3] = {{220, 30, 30}, {30, 180, 40}, {30, 40, 220}};

/* Rows below this one hold nothing but rules. */
static int zone_end(const sim_page* p)
{
    return 17 * sim_marker_cell(p->resolution);
}

/* The printed text of a part, scaled from SIM_TEXT_DPI to the page's
 * resolution, starts at the zone's end, aligned with the marker. */
static int text_rows(const sim_page* p, int part)
{
    const sim_text_image* t = part ? p->text2 : p->text;
    return t ? (int)((long long)t->height * p->resolution / SIM_TEXT_DPI) : 0;
}

static int in_text(const sim_page* p, int part, int y)
{
    return y >= zone_end(p) && y < zone_end(p) + text_rows(p, part);
}

/* Grey of the text image at page pixel (x, y) of the text zone: the mean of
 * the image pixels the page pixel covers (nearest when enlarging). */
static int text_grey(const sim_page* p, int part, int x, int y)
{
    const sim_text_image* t = part ? p->text2 : p->text;
    int res = p->resolution;
    long long tx = x - 4 * sim_marker_cell(res), ty = y - zone_end(p);
    if (tx < 0)
        return 255;
    int x0 = (int)(tx * SIM_TEXT_DPI / res), y0 = (int)(ty * SIM_TEXT_DPI / res);
    if (x0 >= t->width || y0 >= t->height)
        return 255;
    int x1 = (int)((tx + 1) * SIM_TEXT_DPI / res), y1 = (int)((ty + 1) * SIM_TEXT_DPI / res);
    if (x1 <= x0)
        x1 = x0 + 1;
    if (y1 <= y0)
        y1 = y0 + 1;
    if (x1 > t->width)
        x1 = t->width;
    if (y1 > t->height)
        y1 = t->height;
    int sum = 0;
    for (int sy = y0; sy < y1; ++sy) {
        const unsigned char* row = t->pixels + (size_t)sy * (size_t)t->width;
        for (int sx = x0; sx < x1; ++sx)
            sum += row[sx];
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

static rgb row_colour(const sim_page* p, int y)
{
    int period = (int)(p->resolution * 10 / 25.4);
    if (period < 4)
        period = 4;
    int thick = p->resolution >= 300 ? 2 : 1;
    return (y % period) < thick ? rule : white;
}

static void store(const sim_page* p, unsigned char* out, int x, rgb c)
{
    int gray = (c.r * 77 + c.g * 150 + c.b * 29) >> 8;
    if (p->depth == 1) {
        unsigned char bit = (unsigned char)(0x80 >> (x & 7));
        if (gray < 128)
            out[x >> 3] |= bit;
        else
            out[x >> 3] &= (unsigned char)~bit;
        return;
    }
    int v[3] = {c.r, c.g, c.b};
    int n = 1;
    if (p->color && p->channel < 0)
        n = 3;
    else if (p->color)
        v[0] = v[p->channel];
    else
        v[0] = gray;
    for (int i = 0; i < n; ++i) {
        if (p->depth == 16) {
            uint16_t s = (uint16_t)(v[i] * 257);
            memcpy(out + ((size_t)x * n + i) * 2, &s, 2);
        } else {
            out[(size_t)x * n + i] = (unsigned char)v[i];
        }
    }
}

/* Colour of pixel (x, y) of one side of the sheet, in that side's own
 * coordinates: marker and patches at the top, rules further down. */
static rgb side_pixel(const sim_page* p, int part, int x, int y)
{
    if (part ? p->blank2 : p->blank)
        return white;
    if (in_text(p, part, y)) {
        int g = text_grey(p, part, x, y);
        rgb c = {g, g, g};
        return c;
    }
    if (y >= zone_end(p))
        return row_colour(p, y);
    int cell = sim_marker_cell(p->resolution);
    if (sim_marker_ink(part ? p->marker2 : p->marker, p->resolution, x, y))
        return black;
    if (y >= 13 * cell && y < 16 * cell && x >= 4 * cell && x < 22 * cell)
        return patches[(x - 4 * cell) / (6 * cell)];
    return white;
}

/* A row of one colour: the first pixel, replicated. */
static void uniform_row(const sim_page* p, rgb c, unsigned char* out)
{
    if (p->depth == 1) { /* a set bit is black */
        int gray = (c.r * 77 + c.g * 150 + c.b * 29) >> 8;
        memset(out, gray < 128 ? 0xFF : 0, (size_t)p->bytes_per_line);
        return;
    }
    int px_bytes = p->bytes_per_line / p->width;
    store(p, out, 0, c);
    for (int x = 1; x < p->width; ++x)
        memcpy(out + (size_t)x * px_bytes, out, (size_t)px_bytes);
}

void sim_page_row(const sim_page* p, int y, unsigned char* out)
{
    int horizontal = p->merge == 'L' || p->merge == 'R';
    int part = (p->merge && !horizontal && y >= p->part_h) ? 1 : 0;
    int ly = y - part * p->part_h;
    int uniform;
    if (horizontal)
        uniform = (p->blank && p->blank2) ||
                  (ly >= zone_end(p) && p->blank == p->blank2 && !in_text(p, 0, ly) && !in_text(p, 1, ly));
    else
        uniform = (part ? p->blank2 : p->blank) || (ly >= zone_end(p) && !in_text(p, part, ly));
    if (uniform) {
        uniform_row(p, side_pixel(p, part, 0, ly), out);
        return;
    }
    if (p->depth == 1)
        memset(out, 0, (size_t)p->bytes_per_line);
    for (int x = 0; x < p->width; ++x) {
        int xp = horizontal && x >= p->part_w ? 1 : part;
        store(p, out, x, side_pixel(p, xp, x - (horizontal ? xp * p->part_w : 0), ly));
    }
}
