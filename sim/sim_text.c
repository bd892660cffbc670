/* Images of printed text for the pages of the simulated scanners, read from
 * the folder the scenario names ("text=") on first use and kept for the
 * process: a side that carries text only costs a look-up after that. */
#include "sim.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

#define SIM_TEXT_MAX 256

static struct {
    char dir[1024];
    int count; /* images page1 ... page<count> found in dir, -1 not looked yet */
    sim_text_image images[SIM_TEXT_MAX];
    int tried[SIM_TEXT_MAX]; /* read (or failed to) already */
} cache = {.count = -1};

void sim_text_reset(void)
{
    for (int i = 0; i < SIM_TEXT_MAX; ++i)
        free(cache.images[i].pixels);
    memset(&cache, 0, sizeof cache);
    cache.count = -1;
}

static void image_path(char* out, size_t outlen, const char* dir, int number)
{
    snprintf(out, outlen, "%s/page%d.pgm", dir, number);
}

/* Skips white space and '#' comments of a PGM header. */
static int header_int(FILE* f, int* value)
{
    int ch;
    for (;;) {
        ch = fgetc(f);
        if (ch == '#') {
            while (ch != '\n' && ch != EOF)
                ch = fgetc(f);
        } else if (ch != ' ' && ch != '\t' && ch != '\r' && ch != '\n') {
            break;
        }
    }
    if (ch < '0' || ch > '9')
        return 0;
    long n = 0;
    while (ch >= '0' && ch <= '9') {
        n = n * 10 + (ch - '0');
        if (n > 1000000)
            return 0;
        ch = fgetc(f);
    }
    /* one white space character ends the number (and the header) */
    *value = (int)n;
    return 1;
}

/* Reads a binary 8-bit PGM; 0 when the file is not one. */
static int read_pgm(const char* path, sim_text_image* out)
{
    FILE* f = fopen(path, "rb");
    if (!f)
        return 0;
    int w = 0, h = 0, maxval = 0;
    int ok = fgetc(f) == 'P' && fgetc(f) == '5' && header_int(f, &w) && header_int(f, &h) &&
             header_int(f, &maxval) && w > 0 && h > 0 && maxval == 255;
    unsigned char* pixels = ok ? malloc((size_t)w * (size_t)h) : NULL;
    ok = pixels && fread(pixels, 1, (size_t)w * (size_t)h, f) == (size_t)w * (size_t)h;
    fclose(f);
    if (!ok) {
        free(pixels);
        return 0;
    }
    out->width = w;
    out->height = h;
    out->pixels = pixels;
    return 1;
}

const sim_text_image* sim_text_for(const char* dir, int sheet, char side)
{
    if (!dir || !dir[0] || sheet < 1)
        return NULL;
    if (cache.count < 0 || strcmp(cache.dir, dir) != 0) {
        sim_text_reset();
        snprintf(cache.dir, sizeof cache.dir, "%s", dir);
        char path[1200];
        struct stat st;
        cache.count = 0;
        while (cache.count < SIM_TEXT_MAX) {
            image_path(path, sizeof path, dir, cache.count + 1);
            if (stat(path, &st) != 0)
                break;
            ++cache.count;
        }
    }
    if (cache.count == 0)
        return NULL;
    int i = ((sheet - 1) * 2 + (side == 'B')) % cache.count;
    if (!cache.tried[i]) {
        cache.tried[i] = 1;
        char path[1200];
        image_path(path, sizeof path, dir, i + 1);
        read_pgm(path, &cache.images[i]);
    }
    return cache.images[i].pixels ? &cache.images[i] : NULL;
}
