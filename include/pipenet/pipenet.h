/* The pipe network analysis as a C library.
 *
 * A network is read from the text of an input file (the fixed-column layout of lamnet's
 * input-lin.dat for laminar flow, of turbnet's input-nonlin.dat for turbulent flow), may have
 * single values changed, and is analysed as often as wanted; the results are read back as
 * arrays of doubles. The text is read once, into the network model; the analysis is in double
 * precision by default (PIPENET_DOUBLE_PRECISION, see pipenet_set_arithmetic), or in the
 * programs' own single-precision arithmetic, bit for bit with their reports.
 * Nothing is printed and the process is never ended. Handles are
 * independent: different handles may be used on different threads at once, one handle by one
 * thread at a time. Node and pipe numbers count from 1. Networks of any size are analysed:
 * storage is sized from the network once its records have been read, and the band (nodes x
 * half-bandwidth floats) once it has passed its checks; PIPENET_OUT_OF_MEMORY when that does
 * not fit. The capacity faults are kept for their codes; this library does not give them. */
#ifndef PIPENET_PIPENET_H
#define PIPENET_PIPENET_H

#include <stddef.h>

#if defined(PIPENET_BUILDING_LIBRARY)
#define PIPENET_API __attribute__((visibility("default")))
#else
#define PIPENET_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef struct pipenet_network pipenet_network;

/* PIPENET_FLOW_FROM_HEADER: told from the text's first record, lamnet's header or turbnet's
 * (PIPENET_UNREADABLE when it is neither); pipenet_flow_of says which it was. */
typedef enum pipenet_flow {
    PIPENET_LAMINAR = 0,
    PIPENET_TURBULENT = 1,
    PIPENET_FLOW_FROM_HEADER = 2
} pipenet_flow;

typedef enum pipenet_status {
    PIPENET_OK = 0,              /* analysed: results are available */
    PIPENET_REFUSED = 1,         /* a check failed or a pipe is faulty: see pipenet_fault */
    PIPENET_SINGULAR = 2,        /* a pivot vanished: see pipenet_singular_row */
    PIPENET_ITERATION_LIMIT = 3, /* turbulent: the passes ran out; results are available */
    PIPENET_NOT_A_NUMBER = 4,    /* analysed, and a head is NaN; results are available */
    PIPENET_UNREADABLE = 5,      /* the text does not hold a network's records */
    PIPENET_BAD_ARGUMENT = 6,    /* a null pointer, a node or pipe not in the network, a value
                                    that is not a finite number within the range of a float,
                                    or an array too short */
    PIPENET_OUT_OF_MEMORY = 7,
    PIPENET_NO_RESULTS = 8 /* no analysis has produced results since the last change */
} pipenet_status;

/* What a refused analysis found: see pipenet_fault. */
typedef enum pipenet_fault_code {
    PIPENET_FAULT_NONE = 0,
    PIPENET_FAULT_TOO_MANY_NODES = 1,
    PIPENET_FAULT_TOO_MANY_PIPES = 2,
    PIPENET_FAULT_TOO_MANY_KNOWN_HEADS = 3,
    PIPENET_FAULT_HALF_BANDWIDTH_EXCEEDED = 4,
    PIPENET_FAULT_NO_NODES = 5,
    PIPENET_FAULT_NODE_RECORD_OUT_OF_RANGE = 6,
    PIPENET_FAULT_PIPE_RECORD_OUT_OF_RANGE = 7,
    PIPENET_FAULT_PIPE_END_OUT_OF_RANGE = 8,
    PIPENET_FAULT_DISCHARGE_RECORD_OUT_OF_RANGE = 9,
    PIPENET_FAULT_HEAD_RECORD_OUT_OF_RANGE = 10,
    PIPENET_FAULT_ZERO_LENGTH = 11,
    PIPENET_FAULT_ZERO_DIAMETER = 12
} pipenet_fault_code;

/* Reads a network from `length` bytes of `text`. On PIPENET_OK *network is a new handle, to
 * be released with pipenet_free; otherwise *network is NULL. PIPENET_UNREADABLE for a text
 * whose records are missing or malformed, and for an empty text or one of blanks and line ends
 * alone (no header, although the record reader would read blanks as zeros); PIPENET_BAD_ARGUMENT
 * for a NULL `network`, a NULL `text` with a nonzero length, or a `flow` that is neither value.
 * A header that gives 0 nodes is read: the analysis then refuses it (PIPENET_FAULT_NO_NODES). */
PIPENET_API pipenet_status pipenet_load(const char* text, size_t length, pipenet_flow flow,
                                        pipenet_network** network);
PIPENET_API void pipenet_free(pipenet_network* network);

/* The flow a network was loaded as: PIPENET_LAMINAR or PIPENET_TURBULENT (PIPENET_LAMINAR for a
 * null handle). */
PIPENET_API pipenet_flow pipenet_flow_of(const pipenet_network* network);

/* The arithmetic of pipenet_solve. PIPENET_DOUBLE_PRECISION (the default of every handle): the
 * model's analysis in double precision with the head-loss law of the file's program (pi, not
 * 3.1416, in the laminar law), passes until every free node balances within 1e-6 and no head
 * moves by more than 1e-4, at most 50. A network it cannot take as given (a node or pipe number
 * outside its count, no node, a pipe without length or diameter, a node joined to no known
 * head) is analysed in the programs' arithmetic instead, so that pipenet_fault and
 * pipenet_singular_row say why: pipenet_analysed_in tells which arithmetic gave the last
 * outcome. PIPENET_PROGRAMS_ARITHMETIC: the programs' engine, whose heads and discharges are
 * floats (their reports' bits). Changing the arithmetic drops the results. */
typedef enum pipenet_arithmetic {
    PIPENET_DOUBLE_PRECISION = 0,
    PIPENET_PROGRAMS_ARITHMETIC = 1
} pipenet_arithmetic;

PIPENET_API pipenet_status pipenet_set_arithmetic(pipenet_network* network,
                                                  pipenet_arithmetic arithmetic);
/* The arithmetic of the last analysis (PIPENET_DOUBLE_PRECISION for a null handle and before
 * any analysis). */
PIPENET_API pipenet_arithmetic pipenet_analysed_in(const pipenet_network* network);

/* Change one input value (a diameter, the known discharge of a node, the known head of a node;
 * a node without a known head gets one). Results of earlier analyses are dropped. The value is
 * rounded to the nearest float, as the file's value was. Any finite value within the range of a
 * float is taken as an input file could hold it, zero and negative ones included: a diameter of
 * 0 makes the next analysis refuse the pipe (PIPENET_FAULT_ZERO_DIAMETER), a known discharge at a
 * node with a known head has no effect. NaN, an infinity and a magnitude beyond the largest float
 * return PIPENET_BAD_ARGUMENT, as do a NULL network and a pipe or node number outside 1 ... the
 * count; nothing is changed then, and the results of the last analysis stay. */
PIPENET_API pipenet_status pipenet_set_diameter(pipenet_network* network, int pipe,
                                                double diameter);
PIPENET_API pipenet_status pipenet_set_known_discharge(pipenet_network* network, int node,
                                                       double discharge);
PIPENET_API pipenet_status pipenet_set_known_head(pipenet_network* network, int node, double head);

/* Analyses the network as it stands; returns the outcome. */
PIPENET_API pipenet_status pipenet_solve(pipenet_network* network);

/* The counts of the header as read (0 for a count below 1). */
PIPENET_API int pipenet_node_count(const pipenet_network* network);
PIPENET_API int pipenet_pipe_count(const pipenet_network* network);

/* Copy results of the last analysis into `values`, which has room for `count` doubles: one per
 * node (heads, net nodal discharges) or one per pipe (member discharges). PIPENET_BAD_ARGUMENT
 * for a NULL network, a NULL `values` (whatever `count`) or a count smaller than needed, and
 * nothing is copied; PIPENET_NO_RESULTS when there are none (no analysis yet, a value changed
 * since, or an analysis that was refused or singular). */
PIPENET_API pipenet_status pipenet_heads(const pipenet_network* network, double* values,
                                         size_t count);
PIPENET_API pipenet_status pipenet_nodal_discharges(const pipenet_network* network, double* values,
                                                    size_t count);
PIPENET_API pipenet_status pipenet_member_discharges(const pipenet_network* network, double* values,
                                                     size_t count);

/* Turbulent flow: the number of passes of the last analysis, and for each its relative
 * residual (programs' arithmetic) or its largest nodal imbalance (double precision), copied into
 * `values` (room for `count`; as many as fit are copied). Both give 0 for a NULL network, before
 * any analysis and for laminar flow; pipenet_residuals also for a NULL `values`. */
PIPENET_API size_t pipenet_pass_count(const pipenet_network* network);
PIPENET_API size_t pipenet_residuals(const pipenet_network* network, double* values, size_t count);

/* The fault of the last refused analysis: the code, and the record's or pipe end's node
 * number and the pipe it concerns (0 where they do not apply). Any pointer may be NULL. */
PIPENET_API pipenet_fault_code pipenet_fault(const pipenet_network* network, int* number,
                                             int* pipe);

/* The row of the last singular analysis (0 when it was not singular). */
PIPENET_API int pipenet_singular_row(const pipenet_network* network);

/* A short English description of a status. */
PIPENET_API const char* pipenet_status_text(pipenet_status status);

/* The library's version, "MAJOR.MINOR". */
PIPENET_API const char* pipenet_version(void);

/* A network on the double-precision analysis, read from a .inp file or from either program's
 * input file: nodes and links by ID, each link with its own roughness (Hazen-Williams
 * coefficient), the tolerances and the iteration limit settable. Nodes and links are indexed
 * from 0 in the order of the file. A re-solve reuses the factorization's pattern and starts
 * from the last solved heads. One handle by one thread at a time. */
typedef struct pipenet_model pipenet_model;

typedef enum pipenet_file_kind {
    PIPENET_FILE_INP = 0,    /* a .inp file, at its start time */
    PIPENET_FILE_LAMNET = 1, /* lamnet's input-lin.dat */
    PIPENET_FILE_TURBNET = 2 /* turbnet's input-nonlin.dat */
} pipenet_file_kind;

/* On PIPENET_OK *model is a new handle, to be released with pipenet_model_free; otherwise
 * NULL (PIPENET_UNREADABLE: the text holds no network the analysis can take). */
PIPENET_API pipenet_status pipenet_model_read(const char* text, size_t length,
                                              pipenet_file_kind kind, pipenet_model** model);
PIPENET_API void pipenet_model_free(pipenet_model* model);

PIPENET_API size_t pipenet_model_node_count(const pipenet_model* model);
PIPENET_API size_t pipenet_model_link_count(const pipenet_model* model);
/* The ID of a node or link (NULL when there is none), valid while the handle lives. */
PIPENET_API const char* pipenet_model_node_id(const pipenet_model* model, size_t node);
PIPENET_API const char* pipenet_model_link_id(const pipenet_model* model, size_t link);
/* The index of an ID; PIPENET_BAD_ARGUMENT when no node or link has it. */
PIPENET_API pipenet_status pipenet_model_find_node(const pipenet_model* model, const char* id,
                                                   size_t* node);
PIPENET_API pipenet_status pipenet_model_find_link(const pipenet_model* model, const char* id,
                                                   size_t* link);

/* Change one value; PIPENET_BAD_ARGUMENT, changing nothing, for an index out of range or a
 * value that is not finite (diameter and roughness: not positive). The demand is drawn off
 * (negative: supplied); a known head of NaN releases the node. */
PIPENET_API pipenet_status pipenet_model_set_diameter(pipenet_model* model, size_t link,
                                                      double diameter);
PIPENET_API pipenet_status pipenet_model_set_roughness(pipenet_model* model, size_t link,
                                                       double roughness);
PIPENET_API pipenet_status pipenet_model_set_demand(pipenet_model* model, size_t node,
                                                    double demand);
PIPENET_API pipenet_status pipenet_model_set_known_head(pipenet_model* model, size_t node,
                                                        double head);
/* Passes stop when every free node's imbalance is within `flow` (discharge unit) and the last
 * pass moved no head by more than `head` (length unit); at most `passes` passes. */
PIPENET_API pipenet_status pipenet_model_set_tolerance(pipenet_model* model, double flow,
                                                       double head);
PIPENET_API pipenet_status pipenet_model_set_iteration_limit(pipenet_model* model, int passes);

/* PIPENET_OK, PIPENET_ITERATION_LIMIT (results are available), PIPENET_SINGULAR (no head is
 * determined) or PIPENET_REFUSED (a link's values make its law meaningless). */
PIPENET_API pipenet_status pipenet_model_solve(pipenet_model* model);
/* Heads (one per node; NaN at a node joined to no known head) and flows (one per link, from
 * its start node to its end node) of the last solve that produced results. */
PIPENET_API pipenet_status pipenet_model_heads(const pipenet_model* model, double* values,
                                               size_t count);
PIPENET_API pipenet_status pipenet_model_flows(const pipenet_model* model, double* values,
                                               size_t count);
PIPENET_API size_t pipenet_model_pass_count(const pipenet_model* model);

#ifdef __cplusplus
}
#endif

#endif
