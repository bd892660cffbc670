/* Internal interfaces of the simulated scanner drivers. Everything here is
 * compiled into each of the three modules and hidden from the dynamic symbol
 * table; only the sane_<backend>_* entry points are exported. */
#pragma once

#include <sane/sane.h>

#define SIM_HIDDEN __attribute__((visibility("hidden")))

#define SIM_MAX_DEVICES 8
#define SIM_NAME_LEN 64
#define SIM_STR_LEN 64
#define SIM_MAX_OPTIONS 72

/* ---- control file ------------------------------------------------------ */

enum sim_error_kind {
    SIM_ERR_NONE = 0,
    SIM_ERR_JAM,
    SIM_ERR_MULTIFEED,
    SIM_ERR_COVER_OPEN,
    SIM_ERR_IO,
    SIM_ERR_NO_MEM
};

typedef struct sim_control {
    int ndevices;
    char devices[SIM_MAX_DEVICES][SIM_NAME_LEN]; /* "zylkx:KX-8000" ... */
    int sheets;                                  /* sheets in the feeder */
    char load[SIM_STR_LEN];                      /* refill token */
    char source[SIM_STR_LEN];                    /* source at sane_open ("" = model default) */
    int error;                                   /* enum sim_error_kind */
    int error_sheet;                             /* 1-based sheet that fails */
    char error_side;                             /* 'A' or 'B' */
    int error_at_start;                          /* 1: sane_start fails, 0: mid-page */
    int error_at_first;                          /* 1: the page ends before its first byte */
    int error_at_open;                           /* 1: every sane_open fails */
    int error_status;                            /* status of the error (0 = by kind) */
    char error_code[SIM_STR_LEN];                /* "get-sc-error" text ("" = default) */
    int page_delay_ms;                           /* time one page takes to read */
    int unknown_lines;                           /* parameters report lines = -1 */
    int depth;                                   /* 0, 8 or 16: gray/colour depth */
    int extra_lines;                             /* rows sent beyond the announced count */
    int three_pass;                              /* colour as separate red/green/blue frames */
    int read_chunk_lines;                        /* rows per sane_read at most */
    int nblank;                                  /* blank sides: */
    int blank_sheet[32];                         /*   sheet number */
    char blank_side[32];                         /*   'A', 'B' or 0 for both */
    char text_dir[1024];                         /* folder of text page images ("" = none) */
} sim_control;

SIM_HIDDEN void sim_control_defaults(sim_control* c);
/* Path of the control file: $SCANVY_SIM_CONTROL, else the first folder of
 * $SANE_CONFIG_DIR + "/scenario.conf". Returns 0 when neither is set. */
SIM_HIDDEN int sim_control_path(char* out, int outlen);
/* Reads the control file over the defaults. A missing file leaves the
 * defaults. Returns 1 when a file was read. */
SIM_HIDDEN int sim_control_read(sim_control* c);
/* Whether the given side of a sheet is blank in the scenario. */
SIM_HIDDEN int sim_control_is_blank(const sim_control* c, int sheet, char side);
/* Parses one "key=value" text block (used by sim_control_read). */
SIM_HIDDEN void sim_control_parse(sim_control* c, const char* text);

/* ---- device models and options ---------------------------------------- */

enum sim_family { SIM_FAM_KX = 1, SIM_FAM_WY = 2, SIM_FAM_JN = 3 };

typedef struct sim_model {
    const char* backend;   /* "zylkx" */
    const char* name;      /* SANE name within the backend, "KX-8000" */
    const char* tool_line; /* line printed by the consumables tool */
    const char* model;     /* SANE_Device model text */
    const char* type;      /* SANE_Device type text */
    int family;
    int has_flatbed;
    int has_feeder;
} sim_model;

SIM_HIDDEN const sim_model* sim_model_find(const char* backend, const char* name);
SIM_HIDDEN int sim_model_count(void);
SIM_HIDDEN const sim_model* sim_model_at(int i);

typedef union sim_value {
    SANE_Word w;
    char s[SIM_STR_LEN];
} sim_value;

typedef struct sim_option {
    SANE_Option_Descriptor d;
    SANE_Range range; /* storage for d.constraint.range */
    sim_value v;
    int id; /* enum sim_opt_id */
} sim_option;

/* Option identifiers; the device keeps only those its model offers. */
enum sim_opt_id {
    O_NUM = 0,
    O_GROUP_STD,
    O_SOURCE,
    O_MODE,
    O_MULTI_LIST,
    O_RESOLUTION,
    O_PAPER,
    O_PAGE_W,
    O_PAGE_H,
    O_TLX,
    O_TLY,
    O_BRX,
    O_BRY,
    O_PAGE_AUTO,
    O_PAGE_AUTO_PRIO,
    O_GROUP_FEED,
    O_AUTOFEED,
    O_PREPICK,
    O_MF_DETECT,
    O_MF_OVERLAP,
    O_MF_LENGTH,
    O_BLANK,
    O_BLANK_SENS,
    O_MERGE,
    O_BACK_LOC,
    O_BACK_ROT,
    O_SPLIT,
    O_BGCOLOR,
    O_EDGE,
    O_HOLE,
    O_HOLE_FILL,
    O_HOLE_MODE,
    O_GROUP_ENH,
    O_BW_MODE,
    O_THRESHOLD,
    O_SDTC,
    O_IDTC_SENS,
    O_IDTC_BG,
    O_TONE,
    O_BRIGHT,
    O_CONTRAST,
    O_SHADOW,
    O_HIGHLIGHT,
    O_GAMMA,
    O_CROPPING,
    O_JPEG,
    O_JPEG_Q,
    O_DROPOUT,
    O_SHARP,
    O_ROTATION,
    O_COLOR_CLEAN,
    O_COLOR_CLEAN_N,
    O_TIME_SCAN,
    O_INTERVAL,
    O_SC_ERROR,
    O_COUNT
};

typedef struct sim_device {
    const sim_model* model;
    int nopts;
    sim_option opts[SIM_MAX_OPTIONS];
    int index_of[O_COUNT]; /* option id -> option number, -1 when absent */
} sim_device;

SIM_HIDDEN void sim_device_init(sim_device* dev, const sim_model* model);
SIM_HIDDEN sim_option* sim_opt(sim_device* dev, int id); /* NULL when absent */
SIM_HIDDEN const char* sim_opt_str(sim_device* dev, int id, const char* fallback);
SIM_HIDDEN SANE_Word sim_opt_word(sim_device* dev, int id, SANE_Word fallback);
SIM_HIDDEN SANE_Status sim_device_set(sim_device* dev, int n, void* value, SANE_Int* info);
SIM_HIDDEN SANE_Status sim_device_get(sim_device* dev, int n, void* value);
SIM_HIDDEN SANE_Status sim_device_set_auto(sim_device* dev, int n, SANE_Int* info);
/* Largest feeder page height in mm (fixed) the model allows at res dpi. */
SIM_HIDDEN SANE_Word sim_max_height(const sim_model* m, int res);
SIM_HIDDEN int sim_is_feeder_source(const char* source);

/* ---- printed text -------------------------------------------------------- */

/* Folder of the text pages built with the simulator (scenario "text=on"). */
#ifndef SIM_TEXT_DIR
#define SIM_TEXT_DIR ""
#endif

/* Text pages are 8-bit grey images of printed lines at this resolution. */
#define SIM_TEXT_DPI 300

typedef struct sim_text_image {
    int width, height;
    unsigned char* pixels; /* width * height grey samples, 255 = paper */
} sim_text_image;

/* The text image that side `side` of sheet `sheet` carries: the images of
 * `dir` are "page1.pgm", "page2.pgm", ... (binary PGM, SIM_TEXT_DPI) and the
 * sides 1A, 1B, 2A, ... take them in turn, starting again after the last.
 * Each image is read once, when a side first needs it, and kept until
 * sim_text_reset. NULL when `dir` is empty or holds no readable image. */
SIM_HIDDEN const sim_text_image* sim_text_for(const char* dir, int sheet, char side);
/* Frees the images read. */
SIM_HIDDEN void sim_text_reset(void);

/* ---- pages -------------------------------------------------------------- */

typedef struct sim_page {
    int width;          /* pixels per line */
    int lines;          /* real number of rows */
    int depth;          /* 1, 8 or 16 */
    int color;          /* 3 samples per pixel */
    int bytes_per_line; /* of the frame */
    int resolution;
    int sheet;       /* 1-based sheet number */
    char side;       /* 'A' front, 'B' back */
    int channel;     /* -1 interleaved, 0/1/2 for a separate red/green/blue frame */
    int blank;       /* the (first) side is empty: white rows only */
    char marker[16]; /* text drawn in large glyphs */
    /* front/back merging: both sides in one image, the second part to the
     * right of or below the first */
    char merge;         /* 0, or where the back goes: 'T', 'B', 'L', 'R' */
    int part_w, part_h; /* size of one side */
    int blank2;
    char marker2[16];
    /* printed lines below the marker of each part, NULL for none */
    const sim_text_image* text;
    const sim_text_image* text2;
} sim_page;

/* Number of images one side of a sheet gives: 2 for "Multi-image-output"
 * (the image, then its black-and-white companion), doubled by "split-image"
 * (top half, then bottom half). */
SIM_HIDDEN int sim_page_images(sim_device* dev);
/* Whether the device joins front and back into one image per sheet. */
SIM_HIDDEN int sim_page_merging(sim_device* dev);
/* Fills the geometry of image `sub` (0-based) of the next side from the
 * device options. */
SIM_HIDDEN void sim_page_setup(sim_page* p, sim_device* dev, const sim_control* c, int sheet, char side,
                               int sub);
/* Writes row y (0-based) of the frame into out (bytes_per_line bytes). */
SIM_HIDDEN void sim_page_row(const sim_page* p, int y, unsigned char* out);
