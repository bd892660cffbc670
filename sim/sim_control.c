/* The scenario control file of the simulated scanners: "key=value" lines,
 * '#' starts a comment. See sim/README.md for the keys. */
#include "sim.h"

#include <ctype.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static const char* const default_devices[] = {"zylkx:KX-8000", "zylkx:KX-F600", "zylwy:WY200", "zyljn:RV920"};

void sim_control_defaults(sim_control* c)
{
    memset(c, 0, sizeof *c);
    c->ndevices = (int)(sizeof default_devices / sizeof default_devices[0]);
    for (int i = 0; i < c->ndevices; ++i)
        snprintf(c->devices[i], SIM_NAME_LEN, "%s", default_devices[i]);
    c->sheets = 3;
    c->error_sheet = 1;
    c->error_side = 'A';
    c->read_chunk_lines = 64;
}

int sim_control_path(char* out, int outlen)
{
    const char* explicit_path = getenv("SCANVY_SIM_CONTROL");
    if (explicit_path && *explicit_path) {
        snprintf(out, (size_t)outlen, "%s", explicit_path);
        return 1;
    }
    const char* dirs = getenv("SANE_CONFIG_DIR");
    if (!dirs || !*dirs)
        return 0;
    size_t len = strcspn(dirs, ":");
    if (len == 0)
        return 0;
    snprintf(out, (size_t)outlen, "%.*s/scenario.conf", (int)len, dirs);
    return 1;
}

static char* trim(char* s)
{
    while (isspace((unsigned char)*s))
        ++s;
    char* end = s + strlen(s);
    while (end > s && isspace((unsigned char)end[-1]))
        *--end = '\0';
    return s;
}

static int parse_bool(const char* v)
{
    return strcmp(v, "1") == 0 || strcmp(v, "yes") == 0 || strcmp(v, "true") == 0 || strcmp(v, "on") == 0;
}

static int parse_int(const char* v, int lo, int hi)
{
    long n = strtol(v, NULL, 0);
    if (n < lo)
        n = lo;
    if (n > hi)
        n = hi;
    return (int)n;
}

static void parse_devices(sim_control* c, char* v)
{
    c->ndevices = 0;
    for (char* tok = strtok(v, ", \t"); tok && c->ndevices < SIM_MAX_DEVICES; tok = strtok(NULL, ", \t"))
        snprintf(c->devices[c->ndevices++], SIM_NAME_LEN, "%s", tok);
}

/* "2,4B": both sides of sheet 2, the back of sheet 4. */
static void parse_blank(sim_control* c, char* v)
{
    c->nblank = 0;
    for (char* tok = strtok(v, ", \t"); tok && c->nblank < 32; tok = strtok(NULL, ", \t")) {
        char* end = NULL;
        long sheet = strtol(tok, &end, 10);
        if (sheet <= 0)
            continue;
        c->blank_sheet[c->nblank] = (int)sheet;
        c->blank_side[c->nblank] = (*end == 'A' || *end == 'B') ? *end : 0;
        ++c->nblank;
    }
}

int sim_control_is_blank(const sim_control* c, int sheet, char side)
{
    for (int i = 0; i < c->nblank; ++i)
        if (c->blank_sheet[i] == sheet && (c->blank_side[i] == 0 || c->blank_side[i] == side))
            return 1;
    return 0;
}

/* "on" (or another true word): the text pages built with the simulator; an
 * absolute path: that folder; anything else: none. */
static void parse_text(sim_control* c, const char* v)
{
    if (v[0] == '/')
        snprintf(c->text_dir, sizeof c->text_dir, "%s", v);
    else if (parse_bool(v))
        snprintf(c->text_dir, sizeof c->text_dir, "%s", SIM_TEXT_DIR);
    else
        c->text_dir[0] = '\0';
}

static int parse_error(const char* v)
{
    static const struct {
        const char* name;
        int kind;
    } kinds[] = {{"none", SIM_ERR_NONE},           {"jam", SIM_ERR_JAM},
                 {"multifeed", SIM_ERR_MULTIFEED}, {"cover-open", SIM_ERR_COVER_OPEN},
                 {"io-error", SIM_ERR_IO},         {"no-mem", SIM_ERR_NO_MEM}};
    for (size_t i = 0; i < sizeof kinds / sizeof kinds[0]; ++i)
        if (strcmp(v, kinds[i].name) == 0)
            return kinds[i].kind;
    return SIM_ERR_NONE;
}

static void apply(sim_control* c, const char* key, char* v)
{
    if (strcmp(key, "devices") == 0)
        parse_devices(c, v);
    else if (strcmp(key, "sheets") == 0)
        c->sheets = parse_int(v, 0, 100000);
    else if (strcmp(key, "load") == 0)
        snprintf(c->load, sizeof c->load, "%s", v);
    else if (strcmp(key, "source") == 0)
        snprintf(c->source, sizeof c->source, "%s", v);
    else if (strcmp(key, "error") == 0)
        c->error = parse_error(v);
    else if (strcmp(key, "error-sheet") == 0)
        c->error_sheet = parse_int(v, 1, 100000);
    else if (strcmp(key, "error-side") == 0)
        c->error_side = (v[0] == 'B' || v[0] == 'b') ? 'B' : 'A';
    else if (strcmp(key, "error-at") == 0) {
        c->error_at_start = strcmp(v, "start") == 0;
        c->error_at_first = strcmp(v, "first") == 0;
        c->error_at_open = strcmp(v, "open") == 0;
    } else if (strcmp(key, "error-status") == 0)
        c->error_status = parse_int(v, 0, 11);
    else if (strcmp(key, "error-code") == 0)
        snprintf(c->error_code, sizeof c->error_code, "%s", v);
    else if (strcmp(key, "page-delay-ms") == 0)
        c->page_delay_ms = parse_int(v, 0, 600000);
    else if (strcmp(key, "unknown-lines") == 0)
        c->unknown_lines = parse_bool(v);
    else if (strcmp(key, "depth") == 0)
        c->depth = parse_int(v, 0, 16) == 16 ? 16 : 8;
    else if (strcmp(key, "extra-lines") == 0)
        c->extra_lines = parse_int(v, 0, 100000);
    else if (strcmp(key, "three-pass") == 0)
        c->three_pass = parse_bool(v);
    else if (strcmp(key, "blank") == 0)
        parse_blank(c, v);
    else if (strcmp(key, "text") == 0)
        parse_text(c, v);
    else if (strcmp(key, "chunk-lines") == 0)
        c->read_chunk_lines = parse_int(v, 1, 1000000);
    /* other keys belong to the sim/bin stand-ins or are unknown: ignored */
}

void sim_control_parse(sim_control* c, const char* text)
{
    char line[1024];
    while (*text) {
        size_t len = strcspn(text, "\n");
        size_t copy = len < sizeof line - 1 ? len : sizeof line - 1;
        memcpy(line, text, copy);
        line[copy] = '\0';
        text += len + (text[len] == '\n');
        char* hash = strchr(line, '#');
        if (hash)
            *hash = '\0';
        char* eq = strchr(line, '=');
        if (!eq)
            continue;
        *eq = '\0';
        apply(c, trim(line), trim(eq + 1));
    }
}

int sim_control_read(sim_control* c)
{
    char path[4096];
    sim_control_defaults(c);
    if (!sim_control_path(path, sizeof path))
        return 0;
    FILE* f = fopen(path, "r");
    if (!f)
        return 0;
    static const size_t max = 65536;
    char* buf = malloc(max + 1);
    if (!buf) {
        fclose(f);
        return 0;
    }
    size_t n = fread(buf, 1, max, f);
    buf[n] = '\0';
    fclose(f);
    sim_control_parse(c, buf);
    free(buf);
    if (c->error_status > 0 && c->error == SIM_ERR_NONE)
        c->error = SIM_ERR_IO; /* a bare status is an I/O-style failure */
    return 1;
}
