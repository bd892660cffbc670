/* A simulated SANE backend. Compiled once per backend name (BACKEND_NAME =
 * zylkx, zylwy or zyljn); libsane's dll backend loads the module as
 * libsane-<name>.so.1 and resolves the sane_<name>_* entry points below.
 * The scenario (devices, sheets, errors, timing) comes from the control file
 * described in sim/README.md, re-read on every sane_open and sane_start. */
#include "sim.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#ifndef BACKEND_NAME
#error "BACKEND_NAME must name the backend (zylkx, zylwy or zyljn)"
#endif

#define SIM_STR2(x) #x
#define SIM_STR(x) SIM_STR2(x)
#define SIM_CAT3(a, b, c) a##b##c
#define SIM_ENTRY2(b, f) SIM_CAT3(sane_, b, f)
#define ENTRY(f) SIM_ENTRY2(BACKEND_NAME, _##f)
#define EXPORT __attribute__((visibility("default")))

#define BACKEND SIM_STR(BACKEND_NAME)
#define MAX_HANDLES 4

typedef struct sim_handle {
    sim_device dev;
    /* feeder */
    int last_sheets;
    char last_load[SIM_STR_LEN];
    int cur_sheet;      /* last sheet taken from the feeder */
    int pending_back;   /* the back of cur_sheet comes next (duplex) */
    int batch_sheets;   /* sheets taken since the last sane_cancel */
    int flat_count;     /* flatbed / overhead scans since sane_open */
    int error_done;     /* the scenario's error has happened for this load */
    int sub, sub_count; /* image of the current side, images per side */
    /* current page */
    sim_page page;
    int scanning;      /* a frame is being read (atomic: sane_cancel may run elsewhere) */
    int frame_pending; /* another frame of the same page follows */
    int row, row_off;  /* next row and byte within it */
    int error_row;     /* row at which the page fails, -1 none */
    SANE_Status error_status;
    unsigned char* rowbuf;
    int cancel;
} sim_handle;

static struct {
    int initialized;
    sim_control ctl;
    SANE_Device devices[SIM_MAX_DEVICES];
    const SANE_Device* list[SIM_MAX_DEVICES + 1];
    sim_handle* handles[MAX_HANDLES];
} g;

static SANE_Status error_status(int kind);

static int is_scanning(sim_handle* h)
{
    return __atomic_load_n(&h->scanning, __ATOMIC_SEQ_CST);
}

static void set_scanning(sim_handle* h, int on)
{
    __atomic_store_n(&h->scanning, on, __ATOMIC_SEQ_CST);
}

static void reset_state(void)
{
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (g.handles[i]) {
            free(g.handles[i]->rowbuf);
            free(g.handles[i]);
        }
    }
    memset(&g, 0, sizeof g);
    sim_text_reset();
}

EXPORT SANE_Status ENTRY(init)(SANE_Int* version_code, SANE_Auth_Callback authorize)
{
    (void)authorize;
    reset_state();
    g.initialized = 1;
    sim_control_read(&g.ctl);
    if (version_code)
        *version_code = SANE_VERSION_CODE(SANE_CURRENT_MAJOR, 0, 0);
    return SANE_STATUS_GOOD;
}

EXPORT void ENTRY(exit)(void)
{
    reset_state();
}

/* The model behind a full device name "backend:name" of the scenario. */
static const sim_model* present_model(const char* full)
{
    size_t blen = strlen(BACKEND);
    if (strncmp(full, BACKEND, blen) != 0 || full[blen] != ':')
        return NULL;
    return sim_model_find(BACKEND, full + blen + 1);
}

static int device_present(const sim_model* model)
{
    for (int i = 0; i < g.ctl.ndevices; ++i)
        if (present_model(g.ctl.devices[i]) == model)
            return 1;
    return 0;
}

EXPORT SANE_Status ENTRY(get_devices)(const SANE_Device*** device_list, SANE_Bool local_only)
{
    (void)local_only;
    if (!g.initialized)
        return SANE_STATUS_INVAL;
    sim_control_read(&g.ctl);
    int n = 0;
    for (int i = 0; i < g.ctl.ndevices; ++i) {
        const sim_model* m = present_model(g.ctl.devices[i]);
        if (!m)
            continue;
        g.devices[n].name = m->name;
        g.devices[n].vendor = "Zyl";
        g.devices[n].model = m->model;
        g.devices[n].type = m->type;
        g.list[n] = &g.devices[n];
        ++n;
    }
    g.list[n] = NULL;
    *device_list = g.list;
    return SANE_STATUS_GOOD;
}

static int source_is(sim_handle* h, const char* s)
{
    return strcmp(sim_opt_str(&h->dev, O_SOURCE, ""), s) == 0;
}

/* A new stack of sheets when the scenario's sheet count or load token
 * changed (and at sane_open). */
static void refill_if_changed(sim_handle* h, int force)
{
    if (!force && h->last_sheets == g.ctl.sheets && strcmp(h->last_load, g.ctl.load) == 0)
        return;
    h->last_sheets = g.ctl.sheets;
    snprintf(h->last_load, sizeof h->last_load, "%s", g.ctl.load);
    h->cur_sheet = 0;
    h->pending_back = 0;
    h->error_done = 0;
}

static void set_sc_error(sim_handle* h, const char* code)
{
    sim_option* o = sim_opt(&h->dev, O_SC_ERROR);
    if (o)
        snprintf(o->v.s, sizeof o->v.s, "%s", code);
}

EXPORT SANE_Status ENTRY(open)(SANE_String_Const name, SANE_Handle* handle)
{
    if (!g.initialized || !name || !handle)
        return SANE_STATUS_INVAL;
    sim_control_read(&g.ctl);
    const sim_model* model = NULL;
    char full[SIM_NAME_LEN + 8];
    snprintf(full, sizeof full, "%s:%s", BACKEND, name);
    for (int i = 0; i < g.ctl.ndevices && !model; ++i) {
        const sim_model* m = present_model(g.ctl.devices[i]);
        if (m && (name[0] == '\0' || strcmp(g.ctl.devices[i], full) == 0))
            model = m;
    }
    if (!model)
        return SANE_STATUS_INVAL;
    if (g.ctl.error != SIM_ERR_NONE && g.ctl.error_at_open)
        return error_status(g.ctl.error);
    int slot = 0;
    while (slot < MAX_HANDLES && g.handles[slot])
        ++slot;
    if (slot == MAX_HANDLES)
        return SANE_STATUS_DEVICE_BUSY;
    sim_handle* h = calloc(1, sizeof *h);
    if (!h)
        return SANE_STATUS_NO_MEM;
    sim_device_init(&h->dev, model);
    if (g.ctl.source[0]) {
        sim_option* src = sim_opt(&h->dev, O_SOURCE);
        char value[SIM_STR_LEN];
        snprintf(value, sizeof value, "%s", g.ctl.source);
        if (src)
            sim_device_set(&h->dev, h->dev.index_of[O_SOURCE], value, NULL);
    }
    refill_if_changed(h, 1);
    g.handles[slot] = h;
    *handle = h;
    return SANE_STATUS_GOOD;
}

EXPORT void ENTRY(close)(SANE_Handle handle)
{
    for (int i = 0; i < MAX_HANDLES; ++i) {
        if (g.handles[i] == handle) {
            free(g.handles[i]->rowbuf);
            free(g.handles[i]);
            g.handles[i] = NULL;
        }
    }
}

EXPORT const SANE_Option_Descriptor* ENTRY(get_option_descriptor)(SANE_Handle handle, SANE_Int n)
{
    sim_handle* h = handle;
    if (!h || n < 0 || n >= h->dev.nopts)
        return NULL;
    return &h->dev.opts[n].d;
}

EXPORT SANE_Status ENTRY(control_option)(SANE_Handle handle, SANE_Int n, SANE_Action action, void* value,
                                         SANE_Int* info)
{
    sim_handle* h = handle;
    if (info)
        *info = 0;
    if (!h)
        return SANE_STATUS_INVAL;
    if (action == SANE_ACTION_GET_VALUE)
        return sim_device_get(&h->dev, n, value);
    if (is_scanning(h))
        return SANE_STATUS_DEVICE_BUSY;
    if (action == SANE_ACTION_SET_VALUE)
        return sim_device_set(&h->dev, n, value, info);
    if (action == SANE_ACTION_SET_AUTO)
        return sim_device_set_auto(&h->dev, n, info);
    return SANE_STATUS_INVAL;
}

/* The batch ends: the sheet in the path (and its unread back) is ejected. */
static void end_batch(sim_handle* h)
{
    set_scanning(h, 0);
    h->frame_pending = 0;
    h->batch_sheets = 0;
    h->pending_back = 0;
    h->sub_count = 0;
}

static const char* default_code(int kind)
{
    switch (kind) {
    case SIM_ERR_MULTIFEED:
        return "0x03800755";
    case SIM_ERR_COVER_OPEN:
        return "0x03800760";
    case SIM_ERR_IO:
        return "0x03800770";
    case SIM_ERR_NO_MEM:
        return "0x03800780";
    default:
        return "0x03800753";
    }
}

static SANE_Status error_status(int kind)
{
    if (g.ctl.error_status > 0)
        return (SANE_Status)g.ctl.error_status;
    switch (kind) {
    case SIM_ERR_COVER_OPEN:
        return SANE_STATUS_COVER_OPEN;
    case SIM_ERR_IO:
        return SANE_STATUS_IO_ERROR;
    case SIM_ERR_NO_MEM:
        return SANE_STATUS_NO_MEM;
    default:
        return SANE_STATUS_JAMMED;
    }
}

/* Picks the sheet and side of the next page; NO_DOCS when there is none. */
static SANE_Status next_side(sim_handle* h, int* sheet, char* side)
{
    int single = h->batch_sheets >= 1;
    if (!sim_is_feeder_source(sim_opt_str(&h->dev, O_SOURCE, ""))) {
        /* The overhead scanner with its delayed scan on goes on scanning, one
         * page per interval (not waited for here), while pages are laid under
         * its head: up to `sheets` pages in one batch. */
        int timed = h->dev.model->family == SIM_FAM_JN && sim_opt_word(&h->dev, O_TIME_SCAN, 0) &&
                    h->batch_sheets < g.ctl.sheets;
        if (single && !timed)
            return SANE_STATUS_NO_DOCS; /* one page per flatbed / overhead batch */
        *sheet = ++h->flat_count;
        *side = 'A';
        ++h->batch_sheets;
        return SANE_STATUS_GOOD;
    }
    if (h->pending_back) {
        h->pending_back = 0;
        *sheet = h->cur_sheet;
        *side = 'B';
        return SANE_STATUS_GOOD;
    }
    int feed_on = sim_opt_word(&h->dev, O_AUTOFEED, 1) && sim_opt_word(&h->dev, O_PREPICK, 1);
    if (h->cur_sheet >= g.ctl.sheets || (single && !feed_on))
        return SANE_STATUS_NO_DOCS;
    *sheet = ++h->cur_sheet;
    ++h->batch_sheets;
    *side = source_is(h, "Adf-back") ? 'B' : 'A';
    h->pending_back = source_is(h, "Adf-duplex") && !sim_page_merging(&h->dev);
    return SANE_STATUS_GOOD;
}

/* Blank sides are dropped by the device when blank-page skipping is on. */
static int skip_blank(sim_handle* h, int sheet, char side)
{
    sim_option* o = sim_opt(&h->dev, O_BLANK);
    if (!o || (o->d.cap & SANE_CAP_INACTIVE) || !o->v.w)
        return 0;
    if (sim_page_merging(&h->dev)) /* one image holds both sides */
        return sim_control_is_blank(&g.ctl, sheet, 'A') && sim_control_is_blank(&g.ctl, sheet, 'B');
    return sim_control_is_blank(&g.ctl, sheet, side);
}

/* Applies the scenario's error to the page about to start. Returns GOOD
 * when the page may start (possibly failing later, see error_row). */
static SANE_Status scenario_error(sim_handle* h, int sheet, char side)
{
    h->error_row = -1;
    const sim_control* c = &g.ctl;
    if (c->error == SIM_ERR_NONE || h->error_done || sheet != c->error_sheet ||
        (side != c->error_side && sim_is_feeder_source(sim_opt_str(&h->dev, O_SOURCE, "")) &&
         !sim_page_merging(&h->dev)))
        return SANE_STATUS_GOOD;
    h->error_done = 1;
    set_sc_error(h, c->error_code[0] ? c->error_code : default_code(c->error));
    h->error_status = error_status(c->error);
    if (c->error_at_start) {
        h->pending_back = 0; /* the sheet is taken out of the path */
        return h->error_status;
    }
    h->error_row = c->error_at_first ? 0 : h->page.lines / 2;
    return SANE_STATUS_GOOD;
}

EXPORT SANE_Status ENTRY(start)(SANE_Handle handle)
{
    sim_handle* h = handle;
    if (!h)
        return SANE_STATUS_INVAL;
    if (__atomic_exchange_n(&h->cancel, 0, __ATOMIC_SEQ_CST))
        end_batch(h);       /* cancelled since the last start: a new batch begins */
    if (h->frame_pending) { /* next colour frame of the same page */
        h->frame_pending = 0;
        h->page.channel++;
        h->row = h->row_off = 0;
        set_scanning(h, 1);
        return SANE_STATUS_GOOD;
    }
    set_scanning(h, 0);
    sim_control_read(&g.ctl);
    if (!device_present(h->dev.model))
        return SANE_STATUS_IO_ERROR; /* unplugged since sane_open */
    refill_if_changed(h, 0);
    if (h->batch_sheets == 0 && !h->pending_back)
        set_sc_error(h, "0x00000000");
    int sheet = h->page.sheet;
    char side = h->page.side;
    SANE_Status st = SANE_STATUS_GOOD;
    if (h->sub + 1 < h->sub_count) { /* next image of the same side */
        ++h->sub;
        h->error_row = -1;
        sim_page_setup(&h->page, &h->dev, &g.ctl, sheet, side, h->sub);
    } else {
        while ((st = next_side(h, &sheet, &side)) == SANE_STATUS_GOOD && skip_blank(h, sheet, side)) {
        }
        if (st != SANE_STATUS_GOOD)
            return st;
        h->sub = 0;
        h->sub_count = sim_page_images(&h->dev);
        sim_page_setup(&h->page, &h->dev, &g.ctl, sheet, side, 0);
        st = scenario_error(h, sheet, side);
        if (st != SANE_STATUS_GOOD) {
            h->sub_count = 0;
            return st;
        }
    }
    free(h->rowbuf);
    h->rowbuf = malloc((size_t)h->page.bytes_per_line);
    if (!h->rowbuf)
        return SANE_STATUS_NO_MEM;
    h->row = h->row_off = 0;
    set_scanning(h, 1);
    return SANE_STATUS_GOOD;
}

EXPORT SANE_Status ENTRY(get_parameters)(SANE_Handle handle, SANE_Parameters* params)
{
    sim_handle* h = handle;
    if (!h || !params)
        return SANE_STATUS_INVAL;
    sim_page p = h->page;
    if (!is_scanning(h) && !h->frame_pending)
        sim_page_setup(&p, &h->dev, &g.ctl, 0, 'A', 0);
    if (!p.color)
        params->format = SANE_FRAME_GRAY;
    else if (p.channel < 0)
        params->format = SANE_FRAME_RGB;
    else
        params->format = (SANE_Frame)(SANE_FRAME_RED + p.channel);
    params->last_frame = p.channel < 0 || p.channel == 2;
    params->bytes_per_line = p.bytes_per_line;
    params->pixels_per_line = p.width;
    params->lines = g.ctl.unknown_lines ? -1 : p.lines;
    params->depth = p.depth;
    return SANE_STATUS_GOOD;
}

static int cancelled(sim_handle* h)
{
    return __atomic_load_n(&h->cancel, __ATOMIC_SEQ_CST);
}

/* Waits the share of the page time that `rows` rows take, in small steps so
 * that a cancel is seen at once. Returns 0 when cancelled. */
static int pace(sim_handle* h, int rows)
{
    if (g.ctl.page_delay_ms <= 0 || h->page.lines <= 0)
        return !cancelled(h);
    long long us = (long long)g.ctl.page_delay_ms * 1000 * rows / h->page.lines;
    while (us > 0) {
        if (cancelled(h))
            return 0;
        long step = us > 5000 ? 5000 : (long)us;
        struct timespec ts = {0, step * 1000};
        while (nanosleep(&ts, &ts) == -1 && errno == EINTR) {
        }
        us -= step;
    }
    return !cancelled(h);
}

static SANE_Status end_frame(sim_handle* h, SANE_Status st)
{
    set_scanning(h, 0);
    if (st == SANE_STATUS_EOF && h->page.channel >= 0 && h->page.channel < 2)
        h->frame_pending = 1;
    return st;
}

EXPORT SANE_Status ENTRY(read)(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length, SANE_Int* length)
{
    sim_handle* h = handle;
    if (length)
        *length = 0;
    if (!h || !data || !length)
        return SANE_STATUS_INVAL;
    if (cancelled(h)) {
        end_batch(h);
        return SANE_STATUS_CANCELLED;
    }
    if (!is_scanning(h))
        return SANE_STATUS_EOF;
    if (g.ctl.page_delay_ms > 0) { /* a paced page notices an unplug while it is read */
        sim_control_read(&g.ctl);
        if (!device_present(h->dev.model)) {
            h->pending_back = 0;
            return end_frame(h, SANE_STATUS_IO_ERROR);
        }
    }
    int total_rows = h->page.lines + g.ctl.extra_lines;
    if (h->error_row >= 0 && h->row >= h->error_row) {
        h->pending_back = 0;
        h->sub_count = 0;
        h->error_row = -1;
        return end_frame(h, h->error_status);
    }
    if (h->row >= total_rows)
        return end_frame(h, SANE_STATUS_EOF);
    int bpl = h->page.bytes_per_line;
    int rows = max_length / bpl + 1;
    if (rows > g.ctl.read_chunk_lines)
        rows = g.ctl.read_chunk_lines;
    if (rows > total_rows - h->row)
        rows = total_rows - h->row;
    if (h->error_row >= 0 && rows > h->error_row - h->row)
        rows = h->error_row - h->row;
    if (!pace(h, rows)) {
        end_batch(h);
        return SANE_STATUS_CANCELLED;
    }
    SANE_Int n = 0;
    for (int r = 0; r < rows && n < max_length; ++r) {
        sim_page_row(&h->page, h->row, h->rowbuf);
        int take = bpl - h->row_off;
        if (take > max_length - n)
            take = max_length - n;
        memcpy(data + n, h->rowbuf + h->row_off, (size_t)take);
        n += take;
        h->row_off += take;
        if (h->row_off == bpl) {
            h->row_off = 0;
            ++h->row;
        }
    }
    *length = n;
    return SANE_STATUS_GOOD;
}

EXPORT void ENTRY(cancel)(SANE_Handle handle)
{
    sim_handle* h = handle;
    if (!h)
        return;
    __atomic_store_n(&h->cancel, 1, __ATOMIC_SEQ_CST);
    if (!is_scanning(h)) /* between pages: the batch ends now */
        end_batch(h);
    else /* the reader sees the cancel at its next (or current) read */
        set_scanning(h, 0);
}

EXPORT SANE_Status ENTRY(set_io_mode)(SANE_Handle handle, SANE_Bool non_blocking)
{
    (void)handle;
    return non_blocking ? SANE_STATUS_UNSUPPORTED : SANE_STATUS_GOOD;
}

EXPORT SANE_Status ENTRY(get_select_fd)(SANE_Handle handle, SANE_Int* fd)
{
    (void)handle;
    (void)fd;
    return SANE_STATUS_UNSUPPORTED;
}
