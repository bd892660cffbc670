/* Page pictures of the simulated scanners: a white sheet with the sheet
 * marker (sim_marker.h), three colour patches below it and thin grey rules
 * every 10 mm further down. Rows are produced on demand, so even long pages
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
    p->blank = sim_control_is_blank(c, sheet, side);
    if (sub > 0)
        snprintf(p->marker, sizeof p->marker, "%d%c-%d", sheet, side, sub + 1);
    else
        snprintf(p->marker, sizeof p->marker, "%d%c", sheet, side);
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

static rgb pixel(const sim_page* p, int x, int y)
{
    int cell = sim_marker_cell(p->resolution);
    if (sim_marker_ink(p->marker, p->resolution, x, y))
        return black;
    if (y >= 13 * cell && y < 16 * cell && x >= 4 * cell && x < 22 * cell)
        return patches[(x - 4 * cell) / (6 * cell)];
    return white;
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

void sim_page_row(const sim_page* p, int y, unsigned char* out)
{
    if (p->blank || y >= zone_end(p) || y >= p->lines) {
        rgb c = p->blank ? white : row_colour(p, y);
        /* a uniform row: write the first pixel, then replicate it */
        int px_bytes = p->depth == 1 ? 0 : p->bytes_per_line / p->width;
        if (p->depth == 1) {
            memset(out, 0, (size_t)p->bytes_per_line);
            return;
        }
        store(p, out, 0, c);
        for (int x = 1; x < p->width; ++x)
            memcpy(out + (size_t)x * px_bytes, out, (size_t)px_bytes);
        return;
    }
    if (p->depth == 1)
        memset(out, 0, (size_t)p->bytes_per_line);
    for (int x = 0; x < p->width; ++x)
        store(p, out, x, pixel(p, x, y));
}
