/* Device models of the simulated scanners and their SANE options: types,
 * constraints, defaults, inactive states, clamping and the knock-on effects
 * of setting one option on others. */
#include "sim.h"

#include <stdio.h>
#include <string.h>
#include <strings.h>

#include <sane/saneopts.h>

/* which models offer an option */
#define M_KXF 1 /* family Kx with flatbed and feeder */
#define M_KXB 2 /* family Kx, flatbed only */
#define M_WY 4  /* family Wy, feeder only */
#define M_JN 8  /* overhead scanner */
#define M_KX (M_KXF | M_KXB)
#define M_SHEET (M_KXF | M_WY)
#define M_ALL (M_KX | M_WY | M_JN)

#define MM(x) SANE_FIX(x)

static const sim_model models[] = {
    {"zylkx", "KX-8000", "KX-8000", "KX-8000", "sheetfed scanner", SIM_FAM_KX, 1, 1},
    {"zylkx", "KX-F600", "KX-F600", "KX-F600", "flatbed scanner", SIM_FAM_KX, 1, 0},
    {"zylwy", "WY200", "WY-200", "WY-200", "sheetfed scanner", SIM_FAM_WY, 0, 1},
    {"zyljn", "RV920", "RV920", "RV920", "overhead scanner", SIM_FAM_JN, 1, 0},
};

int sim_model_count(void)
{
    return (int)(sizeof models / sizeof models[0]);
}
const sim_model* sim_model_at(int i)
{
    return &models[i];
}

const sim_model* sim_model_find(const char* backend, const char* name)
{
    for (int i = 0; i < sim_model_count(); ++i)
        if (strcmp(models[i].backend, backend) == 0 && strcmp(models[i].name, name) == 0)
            return &models[i];
    return NULL;
}

static int model_mask(const sim_model* m)
{
    switch (m->family) {
    case SIM_FAM_KX:
        return m->has_feeder ? M_KXF : M_KXB;
    case SIM_FAM_WY:
        return M_WY;
    default:
        return M_JN;
    }
}

/* ---- value lists ------------------------------------------------------- */

#define L(...) ((SANE_String_Const[]){__VA_ARGS__, NULL})

static SANE_String_Const src_kxf[] = {"Flatbed", "Adf-front", "Adf-back", "Adf-duplex", NULL};
static SANE_String_Const src_kxb[] = {"Flatbed", NULL};
static SANE_String_Const src_wy[] = {"Adf-front", "Adf-back", "Adf-duplex", NULL};
static SANE_String_Const src_jn[] = {"Simplex-scan", NULL};
static SANE_String_Const mode_sheet[] = {
    "Lineart", "Gray", "Color", "Auto-color-detect", "Multi-image-output", NULL};
static SANE_String_Const mode_jn[] = {"Lineart", "Gray", "Color", NULL};
static SANE_String_Const paper_sheet[] = {"A4",     "A5",    "A6",        "B5",       "B6",
                                          "Letter", "Legal", "Executive", "Postcard", "Business-card",
                                          "Custom", NULL};
static SANE_String_Const paper_jn[] = {"Custom", "A3", "A4", "A5", "B4", "B5", "Letter", "Legal", NULL};
static SANE_String_Const dropout_sheet[] = {"None", "Red", "Green", "Blue", NULL};
static SANE_String_Const dropout_jn[] = {"None", "Red", "Green", "Blue", "White", NULL};
static const SANE_Word jpeg_quality[] = {5, 1, 2, 3, 4, 5};
static const SANE_Word res_jn[] = {6, 100, 150, 200, 300, 400, 600};

/* Paper sizes in mm; the overhead scanner lays them landscape. */
static const struct {
    const char* name;
    double w, h;
} papers[] = {{"A3", 297, 420},        {"A4", 210, 297},
              {"A5", 148, 210},        {"A6", 105, 148},
              {"B4", 257, 364},        {"B5", 182, 257},
              {"B6", 128, 182},        {"Letter", 215.9, 279.4},
              {"Legal", 215.9, 355.6}, {"Executive", 184.2, 266.7},
              {"Postcard", 100, 148},  {"Business-card", 55, 91}};

/* ---- option templates --------------------------------------------------- */

enum { C_NONE, C_RANGE, C_WLIST, C_SLIST };

typedef struct opt_tmpl {
    int id;
    const char* name;
    const char* title;
    SANE_Value_Type type;
    SANE_Unit unit;
    int cons;
    double min, max, quant; /* for ranges, in option units */
    const void* list;       /* SANE_String_Const* or SANE_Word* */
    double defw;            /* default number (bool/int/fixed) */
    const char* defs;       /* default string */
    int mask;
    int advanced;
} opt_tmpl;

#define T_BOOL SANE_TYPE_BOOL
#define T_INT SANE_TYPE_INT
#define T_FIX SANE_TYPE_FIXED
#define T_STR SANE_TYPE_STRING
#define U_NO SANE_UNIT_NONE
#define U_MM SANE_UNIT_MM
#define U_DPI SANE_UNIT_DPI

static const opt_tmpl tmpl[] = {
    {O_GROUP_STD, "", "Standard", SANE_TYPE_GROUP, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_ALL, 0},
    {O_SOURCE, "source", "Scan source", T_STR, U_NO, C_SLIST, 0, 0, 0, NULL, 0, NULL, M_ALL, 0},
    {O_MODE, "mode", "Scan mode", T_STR, U_NO, C_SLIST, 0, 0, 0, mode_sheet, 0, "Color", M_KX | M_WY, 0},
    {O_MODE, "mode", "Scan mode", T_STR, U_NO, C_SLIST, 0, 0, 0, mode_jn, 0, "Color", M_JN, 0},
    {O_MULTI_LIST, "multi-image-output-list", "Multi-image output", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Color+BW", "Gray+BW"), 0, "Color+BW", M_KX | M_WY, 0},
    {O_RESOLUTION, "resolution", "Resolution", T_INT, U_DPI, C_RANGE, 50, 600, 1, NULL, 200, NULL,
     M_KX | M_WY, 0},
    {O_RESOLUTION, "resolution", "Resolution", T_INT, U_DPI, C_WLIST, 0, 0, 0, res_jn, 200, NULL, M_JN, 0},
    {O_PAPER, "paper-size", "Paper size", T_STR, U_NO, C_SLIST, 0, 0, 0, paper_sheet, 0, "A4", M_SHEET, 0},
    {O_PAPER, "paper-size", "Paper size", T_STR, U_NO, C_SLIST, 0, 0, 0, paper_jn, 0, "Custom", M_JN, 0},
    {O_PAGE_W, "page-width", "Paper width", T_FIX, U_MM, C_RANGE, 25.4, 0, 0, NULL, 210, NULL, M_SHEET, 0},
    {O_PAGE_W, "page-width", "Paper width", T_FIX, U_MM, C_RANGE, 25.4, 431.8, 0, NULL, 355.6, NULL, M_JN, 0},
    {O_PAGE_H, "page-height", "Paper height", T_FIX, U_MM, C_RANGE, 25.4, 0, 0, NULL, 297, NULL, M_SHEET, 0},
    {O_PAGE_H, "page-height", "Paper height", T_FIX, U_MM, C_RANGE, 25.4, 297, 0, NULL, 216, NULL, M_JN, 0},
    {O_TLX, "tl-x", "Top-left x", T_FIX, U_MM, C_RANGE, 0, 0, 0, NULL, 0, NULL, M_KX | M_WY, 0},
    {O_TLY, "tl-y", "Top-left y", T_FIX, U_MM, C_RANGE, 0, 0, 0, NULL, 0, NULL, M_KX | M_WY, 0},
    {O_BRX, "br-x", "Bottom-right x", T_FIX, U_MM, C_RANGE, 0, 0, 0, NULL, 0, NULL, M_KX | M_WY, 0},
    {O_BRY, "br-y", "Bottom-right y", T_FIX, U_MM, C_RANGE, 0, 0, 0, NULL, 0, NULL, M_KX | M_WY, 0},
    {O_PAGE_AUTO, "page-auto", "Automatic page size", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_ALL, 0},
    {O_PAGE_AUTO_PRIO, "page-auto-priority", "Automatic size priority", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Speed", "Accuracy"), 0, "Accuracy", M_KXF, 0},
    {O_GROUP_FEED, "", "Feeder", SANE_TYPE_GROUP, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_SHEET, 0},
    {O_AUTOFEED, "autofeed", "Feed continuously", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 1, NULL, M_SHEET, 0},
    {O_PREPICK, "prepick", "Pick the next sheet early", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 1, NULL, M_SHEET,
     0},
    {O_MF_DETECT, "multifeed-detection", "Multifeed detection", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Do-not-detect", "Stop"), 0, "Do-not-detect", M_SHEET, 0},
    {O_MF_OVERLAP, "mf-overlapping", "Multifeed by overlapping", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 1, NULL,
     M_SHEET, 0},
    {O_MF_LENGTH, "mf-length", "Multifeed by length", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_KXF, 0},
    {O_BLANK, "blank-page-skip", "Skip blank pages", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_SHEET,
     0},
    {O_BLANK_SENS, "blank-page-skip-sensitivity", "Blank page sensitivity", T_INT, U_NO, C_RANGE, 1, 5, 1,
     NULL, 3, NULL, M_SHEET, 0},
    {O_MERGE, "front-back-merging", "Merge front and back", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL,
     M_SHEET, 0},
    {O_BACK_LOC, "back-side-location", "Back side location", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Top", "Bottom", "Left", "Right"), 0, "Top", M_SHEET, 0},
    {O_BACK_ROT, "back-side-rotation", "Back side rotation", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("0", "90", "180", "270"), 0, "0", M_SHEET, 0},
    {O_SPLIT, "split-image", "Split top and bottom", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL,
     M_KX | M_WY, 0},
    {O_BGCOLOR, "bgcolor", "Background colour", T_STR, U_NO, C_SLIST, 0, 0, 0, L("Black", "White"), 0,
     "Black", M_KXF, 0},
    {O_EDGE, "edge-repair", "Edge repair", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_KX, 1},
    {O_HOLE, "hole-punch-removal", "Hole punch removal", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_KX,
     1},
    {O_HOLE_FILL, "hole-punch-removal-fillcolor", "Hole fill colour", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Background-color", "White"), 0, "Background-color", M_KX, 1},
    {O_HOLE_MODE, "hole-punch-removal-mode", "Hole removal mode", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Standard", "Advanced"), 0, "Standard", M_KXF, 1},
    {O_GROUP_ENH, "", "Enhancement", SANE_TYPE_GROUP, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_ALL, 0},
    {O_BW_MODE, "bw-mode", "Black and white method", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("iDTC", "SDTC", "Threshold", "Error-diffusion"), 0, "iDTC", M_KX | M_WY, 0},
    {O_THRESHOLD, "threshold", "Threshold", T_INT, U_NO, C_RANGE, 0, 255, 1, NULL, 128, NULL, M_KX | M_JN, 0},
    {O_SDTC, "bw-sdtc-variance", "SDTC variance", T_STR, U_NO, C_SLIST, 0, 0, 0, L("Low", "Mid", "High"), 0,
     "Mid", M_KX, 1},
    {O_IDTC_SENS, "bw-idtc-sensitivity", "iDTC sensitivity", T_INT, U_NO, C_RANGE, -50, 50, 1, NULL, 0, NULL,
     M_KX, 1},
    {O_IDTC_BG, "bw-idtc-background-threshold", "iDTC background threshold", T_INT, U_NO, C_RANGE, -50, 50, 1,
     NULL, 0, NULL, M_KX, 1},
    {O_TONE, "tone-adjustment", "Tone adjustment", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Automatic", "Normal", "Soft", "Sharp", "Bright", "Custom"), 0, "Automatic", M_KX, 0},
    {O_BRIGHT, "brightness", "Brightness", T_INT, U_NO, C_RANGE, -127, 127, 1, NULL, 0, NULL, M_ALL, 0},
    {O_CONTRAST, "contrast", "Contrast", T_INT, U_NO, C_RANGE, -127, 127, 1, NULL, 0, NULL, M_ALL, 0},
    {O_SHADOW, "shadow", "Shadow", T_INT, U_NO, C_RANGE, 0, 254, 1, NULL, 10, NULL, M_KX | M_WY, 1},
    {O_HIGHLIGHT, "highlight", "Highlight", T_INT, U_NO, C_RANGE, 1, 255, 1, NULL, 230, NULL, M_KX | M_WY, 1},
    {O_GAMMA, "gamma", "Gamma", T_FIX, U_NO, C_RANGE, 0.1, 10, 0, NULL, 1.6, NULL, M_KX | M_WY, 1},
    {O_CROPPING, "cropping", "Cropping", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("Old_specification", "Automatic-size", "Overscan"), 0, "Old_specification", M_KX | M_WY, 0},
    {O_JPEG, "jpeg", "Compress as JPEG", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 1, NULL, M_KX, 1},
    {O_JPEG_Q, "jpeg-quality", "JPEG quality", T_INT, U_NO, C_WLIST, 0, 0, 0, jpeg_quality, 4, NULL, M_KX, 1},
    {O_DROPOUT, "dropoutcolor", "Drop-out colour", T_STR, U_NO, C_SLIST, 0, 0, 0, dropout_sheet, 0, "Green",
     M_KX | M_WY, 0},
    {O_DROPOUT, "dropoutcolor", "Drop-out colour", T_STR, U_NO, C_SLIST, 0, 0, 0, dropout_jn, 0, "White",
     M_JN, 0},
    {O_SHARP, "cleanup-sharpness", "Sharpness", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("None", "Smoothing", "Emphasis-level-3", "Emphasis-level-2", "Emphasis-level-1", "Descreen-level-1",
       "Descreen-level-2", "Descreen-level-3", "Descreen-level-4"),
     0, "None", M_KX | M_WY, 0},
    {O_ROTATION, "rotation", "Rotation", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("0", "90", "180", "270", "Automatic"), 0, "0", M_KX | M_WY, 0},
    {O_COLOR_CLEAN, "color-cleanup", "Colour cleanup", T_STR, U_NO, C_SLIST, 0, 0, 0,
     L("None", "Red", "Green", "Blue"), 0, "None", M_KX | M_WY, 1},
    {O_COLOR_CLEAN_N, "color-cleanup-cleanness", "Colour cleanup strength", T_INT, U_NO, C_RANGE, -5, 5, 1,
     NULL, 0, NULL, M_KX | M_WY, 1},
    {O_TIME_SCAN, "time-scan", "Delayed scan", T_BOOL, U_NO, C_NONE, 0, 0, 0, NULL, 0, NULL, M_JN, 0},
    {O_INTERVAL, "interval-time", "Delay in seconds", T_INT, U_NO, C_RANGE, 1, 10, 1, NULL, 4, NULL, M_JN, 0},
    {O_SC_ERROR, "get-sc-error", "Last scanner error", T_STR, U_NO, C_NONE, 0, 0, 0, NULL, 0, "0x00000000",
     M_ALL, 1},
};

/* ---- model limits ------------------------------------------------------- */

static const double flatbed_w = 215.9, flatbed_h = 297.0;

static double feeder_width_max(const sim_model* m)
{
    return m->family == SIM_FAM_WY ? 218 : 216;
}

static double feeder_height_max(const sim_model* m)
{
    return m->family == SIM_FAM_WY ? 3000.0 : 5588.0;
}

SANE_Word sim_max_height(const sim_model* m, int res)
{
    if (m->family == SIM_FAM_JN)
        return MM(297.0);
    if (m->family == SIM_FAM_WY) {
        if (res <= 200)
            return MM(3000.0);
        return res <= 300 ? MM(1100.0) : MM(431.8);
    }
    if (res <= 200)
        return MM(5588.0);
    if (res <= 300)
        return MM(3175.0);
    return res <= 400 ? MM(1727.2) : MM(863.6);
}

int sim_is_feeder_source(const char* source)
{
    return strncmp(source, "Adf-", 4) == 0;
}

/* ---- access -------------------------------------------------------------- */

sim_option* sim_opt(sim_device* dev, int id)
{
    int n = dev->index_of[id];
    return n < 0 ? NULL : &dev->opts[n];
}

const char* sim_opt_str(sim_device* dev, int id, const char* fallback)
{
    sim_option* o = sim_opt(dev, id);
    return o ? o->v.s : fallback;
}

SANE_Word sim_opt_word(sim_device* dev, int id, SANE_Word fallback)
{
    sim_option* o = sim_opt(dev, id);
    return o ? o->v.w : fallback;
}

static int str_is(sim_device* dev, int id, const char* value)
{
    sim_option* o = sim_opt(dev, id);
    return o && strcmp(o->v.s, value) == 0;
}

static void set_range(sim_option* o, double min, double max)
{
    SANE_Range* r = (SANE_Range*)o->d.constraint.range;
    if (o->d.type == SANE_TYPE_FIXED) {
        r->min = MM(min);
        r->max = MM(max);
    } else {
        r->min = (SANE_Word)min;
        r->max = (SANE_Word)max;
    }
}

static void activate(sim_device* dev, int id, int on)
{
    sim_option* o = sim_opt(dev, id);
    if (!o)
        return;
    if (on)
        o->d.cap &= ~SANE_CAP_INACTIVE;
    else
        o->d.cap |= SANE_CAP_INACTIVE;
}

/* Options that do not apply to the current settings become inactive. */
static void update_active(sim_device* dev)
{
    int jn = dev->model->family == SIM_FAM_JN;
    int feeder = sim_is_feeder_source(sim_opt_str(dev, O_SOURCE, ""));
    int line = str_is(dev, O_MODE, "Lineart");
    int colour = str_is(dev, O_MODE, "Color") || str_is(dev, O_MODE, "Auto-color-detect") ||
                 str_is(dev, O_MODE, "Multi-image-output");
    static const int feeder_only[] = {O_AUTOFEED, O_PREPICK, O_MF_DETECT,     O_BLANK,
                                      O_MERGE,    O_BGCOLOR, O_PAGE_AUTO_PRIO};
    for (size_t i = 0; i < sizeof feeder_only / sizeof feeder_only[0]; ++i)
        activate(dev, feeder_only[i], feeder);
    activate(dev, O_MULTI_LIST, str_is(dev, O_MODE, "Multi-image-output"));
    activate(dev, O_PAPER, feeder || jn);
    int custom = (feeder || jn) && str_is(dev, O_PAPER, "Custom");
    activate(dev, O_PAGE_W, custom);
    activate(dev, O_PAGE_H, custom);
    int mf = feeder && str_is(dev, O_MF_DETECT, "Stop");
    activate(dev, O_MF_OVERLAP, mf);
    activate(dev, O_MF_LENGTH, mf);
    activate(dev, O_BLANK_SENS, feeder && sim_opt_word(dev, O_BLANK, 0));
    activate(dev, O_BACK_LOC, feeder && sim_opt_word(dev, O_MERGE, 0));
    activate(dev, O_BACK_ROT, feeder && sim_opt_word(dev, O_MERGE, 0));
    activate(dev, O_BW_MODE, line);
    activate(dev, O_THRESHOLD, line && (jn || str_is(dev, O_BW_MODE, "Threshold")));
    activate(dev, O_SDTC, line && str_is(dev, O_BW_MODE, "SDTC"));
    activate(dev, O_IDTC_SENS, line && str_is(dev, O_BW_MODE, "iDTC"));
    activate(dev, O_IDTC_BG, line && str_is(dev, O_BW_MODE, "iDTC"));
    int tone_on = !(line && str_is(dev, O_BW_MODE, "iDTC"));
    activate(dev, O_TONE, tone_on);
    int tone_group = !sim_opt(dev, O_TONE) || (tone_on && str_is(dev, O_TONE, "Custom"));
    static const int tone_ids[] = {O_BRIGHT, O_CONTRAST, O_SHADOW, O_HIGHLIGHT, O_GAMMA};
    for (size_t i = 0; i < sizeof tone_ids / sizeof tone_ids[0]; ++i)
        activate(dev, tone_ids[i], tone_group);
    activate(dev, O_COLOR_CLEAN, !line);
    activate(dev, O_COLOR_CLEAN_N, !line && !str_is(dev, O_COLOR_CLEAN, "None"));
    activate(dev, O_DROPOUT, !colour);
    activate(dev, O_JPEG, !line);
    activate(dev, O_JPEG_Q, !line);
    activate(dev, O_HOLE_FILL, sim_opt_word(dev, O_HOLE, 0));
    activate(dev, O_HOLE_MODE, sim_opt_word(dev, O_HOLE, 0));
    activate(dev, O_INTERVAL, sim_opt_word(dev, O_TIME_SCAN, 0));
}

static SANE_Word clamp_word(SANE_Word w, SANE_Word lo, SANE_Word hi)
{
    return w < lo ? lo : (w > hi ? hi : w);
}

static void put_word(sim_device* dev, int id, SANE_Word w)
{
    sim_option* o = sim_opt(dev, id);
    if (o)
        o->v.w = clamp_word(w, o->range.min, o->range.max);
}

/* Feeder page heights are limited per resolution; returns 1 on a change. */
static int clamp_heights(sim_device* dev)
{
    if (!sim_is_feeder_source(sim_opt_str(dev, O_SOURCE, "")))
        return 0;
    SANE_Word hmax = sim_max_height(dev->model, sim_opt_word(dev, O_RESOLUTION, 200));
    int changed = 0;
    static const int ids[] = {O_PAGE_H, O_BRY};
    for (size_t i = 0; i < 2; ++i) {
        sim_option* o = sim_opt(dev, ids[i]);
        if (o && o->v.w > hmax) {
            o->v.w = hmax;
            changed = 1;
        }
    }
    return changed;
}

/* The scan area follows the source: the whole flatbed, or the paper size
 * on the feeder. */
static void geometry_for_source(sim_device* dev)
{
    if (!sim_opt(dev, O_BRX))
        return;
    int feeder = sim_is_feeder_source(sim_opt_str(dev, O_SOURCE, ""));
    double wmax = feeder ? feeder_width_max(dev->model) : flatbed_w;
    double hmax = feeder ? feeder_height_max(dev->model) : flatbed_h;
    set_range(sim_opt(dev, O_TLX), 0, wmax);
    set_range(sim_opt(dev, O_BRX), 0, wmax);
    set_range(sim_opt(dev, O_TLY), 0, hmax);
    set_range(sim_opt(dev, O_BRY), 0, hmax);
    put_word(dev, O_TLX, 0);
    put_word(dev, O_TLY, 0);
    put_word(dev, O_BRX, feeder ? sim_opt_word(dev, O_PAGE_W, MM(210)) : MM(flatbed_w));
    put_word(dev, O_BRY, feeder ? sim_opt_word(dev, O_PAGE_H, MM(297)) : MM(flatbed_h));
    clamp_heights(dev);
}

static void apply_paper(sim_device* dev)
{
    const char* paper = sim_opt_str(dev, O_PAPER, "Custom");
    for (size_t i = 0; i < sizeof papers / sizeof papers[0]; ++i) {
        if (strcmp(papers[i].name, paper) != 0)
            continue;
        int landscape = dev->model->family == SIM_FAM_JN;
        put_word(dev, O_PAGE_W, MM(landscape ? papers[i].h : papers[i].w));
        put_word(dev, O_PAGE_H, MM(landscape ? papers[i].w : papers[i].h));
    }
    put_word(dev, O_BRX, sim_opt_word(dev, O_TLX, 0) + sim_opt_word(dev, O_PAGE_W, 0));
    put_word(dev, O_BRY, sim_opt_word(dev, O_TLY, 0) + sim_opt_word(dev, O_PAGE_H, 0));
    clamp_heights(dev);
}

static const char* default_source(const sim_model* m)
{
    switch (model_mask(m)) {
    case M_KXB:
        return "Flatbed";
    case M_JN:
        return "Simplex-scan";
    default:
        return "Adf-front";
    }
}

static SANE_String_Const* source_list(const sim_model* m)
{
    switch (model_mask(m)) {
    case M_KXF:
        return src_kxf;
    case M_KXB:
        return src_kxb;
    case M_WY:
        return src_wy;
    default:
        return src_jn;
    }
}

static void init_option(sim_device* dev, sim_option* o, const opt_tmpl* t)
{
    o->id = t->id;
    o->d.name = t->name;
    o->d.title = t->title;
    o->d.desc = t->title;
    o->d.type = t->type;
    o->d.unit = t->unit;
    o->d.size = t->type == SANE_TYPE_STRING ? SIM_STR_LEN : (SANE_Int)sizeof(SANE_Word);
    o->d.cap = t->type == SANE_TYPE_GROUP
                   ? 0
                   : SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT | (t->advanced ? SANE_CAP_ADVANCED : 0);
    o->d.constraint_type = SANE_CONSTRAINT_NONE;
    if (t->cons == C_RANGE) {
        o->d.constraint_type = SANE_CONSTRAINT_RANGE;
        o->d.constraint.range = &o->range;
        set_range(o, t->min, t->max);
        o->range.quant = t->type == SANE_TYPE_FIXED ? MM(t->quant) : (SANE_Word)t->quant;
    } else if (t->cons == C_WLIST) {
        o->d.constraint_type = SANE_CONSTRAINT_WORD_LIST;
        o->d.constraint.word_list = t->list;
    } else if (t->cons == C_SLIST) {
        o->d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
        o->d.constraint.string_list = t->id == O_SOURCE ? source_list(dev->model) : t->list;
    }
    if (t->type == SANE_TYPE_STRING)
        snprintf(o->v.s, sizeof o->v.s, "%s",
                 t->id == O_SOURCE ? default_source(dev->model) : (t->defs ? t->defs : ""));
    else if (t->type == SANE_TYPE_FIXED)
        o->v.w = MM(t->defw);
    else
        o->v.w = (SANE_Word)t->defw;
}

void sim_device_init(sim_device* dev, const sim_model* model)
{
    memset(dev, 0, sizeof *dev);
    dev->model = model;
    for (int i = 0; i < O_COUNT; ++i)
        dev->index_of[i] = -1;
    sim_option* count = &dev->opts[0];
    count->id = O_NUM;
    count->d.name = "";
    count->d.title = SANE_TITLE_NUM_OPTIONS;
    count->d.desc = SANE_DESC_NUM_OPTIONS;
    count->d.type = SANE_TYPE_INT;
    count->d.size = sizeof(SANE_Word);
    count->d.cap = SANE_CAP_SOFT_DETECT;
    dev->index_of[O_NUM] = 0;
    dev->nopts = 1;
    int mask = model_mask(model);
    for (size_t i = 0; i < sizeof tmpl / sizeof tmpl[0] && dev->nopts < SIM_MAX_OPTIONS; ++i) {
        if (!(tmpl[i].mask & mask))
            continue;
        sim_option* o = &dev->opts[dev->nopts];
        init_option(dev, o, &tmpl[i]);
        if (tmpl[i].type != SANE_TYPE_GROUP)
            dev->index_of[tmpl[i].id] = dev->nopts;
        ++dev->nopts;
    }
    count->v.w = dev->nopts;
    if (mask & M_SHEET) {
        set_range(sim_opt(dev, O_PAGE_W), 25.4, feeder_width_max(model));
        set_range(sim_opt(dev, O_PAGE_H), 25.4, feeder_height_max(model));
    }
    geometry_for_source(dev);
    update_active(dev);
}

/* Applies the option's constraint; sets SANE_INFO_INEXACT when the value
 * had to change. Returns 0 when the value cannot be accepted at all. */
static int constrain_word(const sim_option* o, SANE_Word* w, SANE_Int* info)
{
    SANE_Word v = *w;
    if (o->d.type == SANE_TYPE_BOOL) {
        if (v != SANE_FALSE && v != SANE_TRUE)
            return 0;
    } else if (o->d.constraint_type == SANE_CONSTRAINT_RANGE) {
        const SANE_Range* r = &o->range;
        v = clamp_word(v, r->min, r->max);
        if (r->quant > 0) {
            SANE_Word steps = (SANE_Word)(((long long)v - r->min + r->quant / 2) / r->quant);
            v = clamp_word(r->min + steps * r->quant, r->min, r->max);
        }
    } else if (o->d.constraint_type == SANE_CONSTRAINT_WORD_LIST) {
        const SANE_Word* list = o->d.constraint.word_list;
        SANE_Word best = list[1];
        for (int i = 1; i <= list[0]; ++i) {
            long long d = (long long)list[i] - v, bd = (long long)best - v;
            if ((d < 0 ? -d : d) < (bd < 0 ? -bd : bd))
                best = list[i];
        }
        v = best;
    }
    if (v != *w)
        *info |= SANE_INFO_INEXACT;
    *w = v;
    return 1;
}

static SANE_Status set_string(sim_option* o, char* value, SANE_Int* info)
{
    if (o->id == O_SC_ERROR)
        return SANE_STATUS_GOOD; /* read-back only; writing is accepted and ignored */
    if (o->d.constraint_type != SANE_CONSTRAINT_STRING_LIST) {
        snprintf(o->v.s, sizeof o->v.s, "%s", value);
        return SANE_STATUS_GOOD;
    }
    for (const SANE_String_Const* s = o->d.constraint.string_list; *s; ++s) {
        if (strcmp(*s, value) == 0) {
            snprintf(o->v.s, sizeof o->v.s, "%s", *s);
            return SANE_STATUS_GOOD;
        }
    }
    for (const SANE_String_Const* s = o->d.constraint.string_list; *s; ++s) {
        if (strcasecmp(*s, value) == 0) {
            snprintf(o->v.s, sizeof o->v.s, "%s", *s);
            *info |= SANE_INFO_INEXACT;
            snprintf(value, (size_t)o->d.size, "%s", *s);
            return SANE_STATUS_GOOD;
        }
    }
    return SANE_STATUS_INVAL;
}

/* Knock-on effects of a new value on the other options. */
static void after_set(sim_device* dev, int id, SANE_Int* info)
{
    switch (id) {
    case O_SOURCE:
        geometry_for_source(dev);
        *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        break;
    case O_PAPER:
        apply_paper(dev);
        *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        break;
    case O_PAGE_W:
        put_word(dev, O_BRX, sim_opt_word(dev, O_TLX, 0) + sim_opt_word(dev, O_PAGE_W, 0));
        *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        break;
    case O_PAGE_H:
        put_word(dev, O_BRY, sim_opt_word(dev, O_TLY, 0) + sim_opt_word(dev, O_PAGE_H, 0));
        clamp_heights(dev);
        *info |= SANE_INFO_RELOAD_OPTIONS | SANE_INFO_RELOAD_PARAMS;
        break;
    case O_RESOLUTION:
        if (clamp_heights(dev))
            *info |= SANE_INFO_RELOAD_OPTIONS;
        *info |= SANE_INFO_RELOAD_PARAMS;
        break;
    case O_MODE:
    case O_TLX:
    case O_TLY:
    case O_BRX:
    case O_BRY:
    case O_SPLIT:
        *info |= SANE_INFO_RELOAD_PARAMS;
        break;
    default:
        break;
    }
}

SANE_Status sim_device_set(sim_device* dev, int n, void* value, SANE_Int* info)
{
    SANE_Int local = 0;
    if (!info)
        info = &local;
    *info = 0;
    if (n <= 0 || n >= dev->nopts || !value)
        return SANE_STATUS_INVAL;
    sim_option* o = &dev->opts[n];
    if (!(o->d.cap & SANE_CAP_SOFT_SELECT) || (o->d.cap & SANE_CAP_INACTIVE))
        return SANE_STATUS_INVAL;
    if (o->d.type == SANE_TYPE_STRING) {
        SANE_Status st = set_string(o, (char*)value, info);
        if (st != SANE_STATUS_GOOD)
            return st;
    } else {
        SANE_Word w = *(SANE_Word*)value;
        if (!constrain_word(o, &w, info))
            return SANE_STATUS_INVAL;
        if ((o->id == O_PAGE_H || o->id == O_BRY) && sim_is_feeder_source(sim_opt_str(dev, O_SOURCE, ""))) {
            SANE_Word hmax = sim_max_height(dev->model, sim_opt_word(dev, O_RESOLUTION, 200));
            if (w > hmax) {
                w = hmax;
                *info |= SANE_INFO_INEXACT;
            }
        }
        o->v.w = w;
        *(SANE_Word*)value = w;
    }
    SANE_Int caps[SIM_MAX_OPTIONS];
    for (int i = 0; i < dev->nopts; ++i)
        caps[i] = dev->opts[i].d.cap;
    after_set(dev, o->id, info);
    update_active(dev);
    for (int i = 0; i < dev->nopts; ++i)
        if (caps[i] != dev->opts[i].d.cap)
            *info |= SANE_INFO_RELOAD_OPTIONS;
    return SANE_STATUS_GOOD;
}

SANE_Status sim_device_get(sim_device* dev, int n, void* value)
{
    if (n < 0 || n >= dev->nopts || !value)
        return SANE_STATUS_INVAL;
    sim_option* o = &dev->opts[n];
    if (o->d.type == SANE_TYPE_GROUP || (o->d.cap & SANE_CAP_INACTIVE))
        return SANE_STATUS_INVAL;
    if (o->d.type == SANE_TYPE_STRING)
        snprintf((char*)value, (size_t)o->d.size, "%s", o->v.s);
    else
        *(SANE_Word*)value = o->v.w;
    return SANE_STATUS_GOOD;
}

SANE_Status sim_device_set_auto(sim_device* dev, int n, SANE_Int* info)
{
    if (info)
        *info = 0;
    if (n <= 0 || n >= dev->nopts || !(dev->opts[n].d.cap & SANE_CAP_AUTOMATIC))
        return SANE_STATUS_INVAL;
    return SANE_STATUS_UNSUPPORTED;
}
