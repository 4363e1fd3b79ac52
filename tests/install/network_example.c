/* A C program using the installed library: the two worked examples of the manual, analysed,
 * changed and analysed again. Exits 0 when every result is the one the manual shows (to its
 * four decimals) or the one the change must give. */
#include <math.h>
#include <pipenet/pipenet.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(int condition, const char* what) {
    if (!condition) {
        printf("FAILED: %s\n", what);
        ++failures;
    }
}

/* Within half a unit of the fourth decimal of the value the report prints. */
static int near(double value, double printed) {
    return fabs(value - printed) <= 0.00005;
}

/* The four-pipe square of docs/examples/lamnet-loop, with its report's results. */
static const char laminar_loop[] = "         4         4         2         1    97900.\n"
                                   "         1      0.00      0.00\n"
                                   "         2     80.00      0.00\n"
                                   "         3     80.00     60.00\n"
                                   "         4      0.00     60.00\n"
                                   "         1         1         2   0.20000\n"
                                   "         2         2         3   0.15000\n"
                                   "         3         1         4   0.15000\n"
                                   "         4         4         3   0.20000\n"
                                   "         3     -0.6000\n"
                                   "         4     -0.2000\n"
                                   "         1  120.0000\n";

/* The five-pipe network of docs/examples/turbnet-loop. */
static const char turbulent_loop[] =
    "         4         5         3         1        20 0.0000010    130.0000000\n"
    "         1      0.00      0.00\n"
    "         2    600.00      0.00\n"
    "         3    600.00    400.00\n"
    "         4      0.00    400.00\n"
    "         1         1         2   0.30000\n"
    "         2         2         3   0.20000\n"
    "         3         1         4   0.25000\n"
    "         4         4         3   0.20000\n"
    "         5         2         4   0.15000\n"
    "         2     -0.0300\n"
    "         3     -0.0500\n"
    "         4     -0.0200\n"
    "         1   50.0000\n";

static void laminar(void) {
    pipenet_network* net = NULL;
    double heads[4], nodal[4], member[4];
    const double report_heads[4] = {120.0, 112.2939, 94.0276, 98.8067};
    const double report_member[4] = {0.3703, 0.3703, 0.4297, 0.2297};
    int i, number = -1, pipe = -1;

    expect(pipenet_load(laminar_loop, strlen(laminar_loop), PIPENET_LAMINAR, &net) == PIPENET_OK,
           "laminar network loads");
    if (net == NULL) return;
    expect(pipenet_node_count(net) == 4 && pipenet_pipe_count(net) == 4, "counts as read");
    expect(pipenet_heads(net, heads, 4) == PIPENET_NO_RESULTS, "no results before a solve");
    /* The manual's figures are the programs' (pi taken as 3.1416): their arithmetic gives them. */
    expect(pipenet_set_arithmetic(net, PIPENET_PROGRAMS_ARITHMETIC) == PIPENET_OK,
           "the programs' arithmetic chosen");
    expect(pipenet_solve(net) == PIPENET_OK, "laminar network solves");
    expect(pipenet_heads(net, heads, 3) == PIPENET_BAD_ARGUMENT, "too small an array is refused");
    expect(pipenet_heads(net, heads, 4) == PIPENET_OK, "heads");
    expect(pipenet_nodal_discharges(net, nodal, 4) == PIPENET_OK, "nodal discharges");
    expect(pipenet_member_discharges(net, member, 4) == PIPENET_OK, "member discharges");
    for (i = 0; i < 4; ++i) {
        printf("laminar head %d %.4f member %d %.4f\n", i + 1, heads[i], i + 1, member[i]);
        expect(near(heads[i], report_heads[i]), "head as in the manual");
        expect(near(member[i], report_member[i]), "member discharge as in the manual");
    }
    expect(near(nodal[0], 0.8) && near(nodal[2], -0.6) && near(nodal[3], -0.2),
           "the tank supplies what is drawn");

    /* 0.1 more drawn at node 2: the tank supplies 0.9. */
    expect(pipenet_set_known_discharge(net, 2, -0.1) == PIPENET_OK, "set a known discharge");
    expect(pipenet_heads(net, heads, 4) == PIPENET_NO_RESULTS, "a change drops the results");
    expect(pipenet_solve(net) == PIPENET_OK, "solves again");
    expect(pipenet_nodal_discharges(net, nodal, 4) == PIPENET_OK, "nodal discharges again");
    printf("laminar supply with 0.1 more drawn %.4f\n", nodal[0]);
    expect(near(nodal[0], 0.9), "the tank supplies 0.9");

    /* A pipe of zero diameter is refused, naming the pipe; put back, the network solves. */
    expect(pipenet_set_diameter(net, 3, 0.0) == PIPENET_OK, "set a diameter");
    expect(pipenet_solve(net) == PIPENET_REFUSED, "a zero diameter is refused");
    expect(pipenet_fault(net, &number, &pipe) == PIPENET_FAULT_ZERO_DIAMETER && pipe == 3,
           "the fault names pipe 3");
    expect(pipenet_set_diameter(net, 3, 0.15) == PIPENET_OK, "diameter put back");
    expect(pipenet_set_diameter(net, 5, 0.15) == PIPENET_BAD_ARGUMENT, "no pipe 5");

    /* A second known head: node 3 held at 100. */
    expect(pipenet_set_known_head(net, 3, 100.0) == PIPENET_OK, "set a known head");
    expect(pipenet_solve(net) == PIPENET_OK, "solves with two known heads");
    expect(pipenet_heads(net, heads, 4) == PIPENET_OK, "heads with two known heads");
    printf("laminar heads with node 3 held: %.4f %.4f %.4f %.4f\n", heads[0], heads[1], heads[2],
           heads[3]);
    expect(heads[0] == 120.0 && heads[2] == 100.0, "both known heads held exactly");
    pipenet_free(net);
}

static void turbulent(void) {
    pipenet_network* net = NULL;
    double heads[4], member[5], residuals[8];
    const double report_heads[4] = {50.0, 48.6498, 46.9367, 48.6732};
    const double report_member[5] = {0.0567, 0.0276, 0.0433, 0.0224, -0.0009};
    size_t passes, i;

    expect(pipenet_load(turbulent_loop, strlen(turbulent_loop), PIPENET_TURBULENT, &net) ==
               PIPENET_OK,
           "turbulent network loads");
    if (net == NULL) return;
    /* In double precision by default: the heads the report's tolerance leaves within reach. */
    expect(pipenet_solve(net) == PIPENET_OK, "turbulent network converges in double precision");
    expect(pipenet_analysed_in(net) == PIPENET_DOUBLE_PRECISION, "analysed in double precision");
    expect(pipenet_heads(net, heads, 4) == PIPENET_OK, "turbulent heads in double precision");
    for (i = 0; i < 4; ++i)
        expect(fabs(heads[i] - report_heads[i]) <= 0.001, "head near the manual's");
    /* In the programs' arithmetic: the report's own figures and passes. */
    expect(pipenet_set_arithmetic(net, PIPENET_PROGRAMS_ARITHMETIC) == PIPENET_OK,
           "the programs' arithmetic chosen");
    expect(pipenet_solve(net) == PIPENET_OK, "turbulent network converges");
    expect(pipenet_analysed_in(net) == PIPENET_PROGRAMS_ARITHMETIC, "analysed as the programs");
    expect(pipenet_heads(net, heads, 4) == PIPENET_OK, "turbulent heads");
    expect(pipenet_member_discharges(net, member, 5) == PIPENET_OK, "turbulent discharges");
    for (i = 0; i < 4; ++i) expect(near(heads[i], report_heads[i]), "head as in the manual");
    for (i = 0; i < 5; ++i)
        expect(near(member[i], report_member[i]), "member discharge as in the manual");
    /* "convergence achieved on cycle 2": passes 0, 1 and 2, only the last within 1.0E-6. */
    passes = pipenet_pass_count(net);
    expect(passes == 3, "three passes");
    expect(pipenet_residuals(net, residuals, 8) == passes, "every residual copied");
    for (i = 0; i < passes && i < 8; ++i) {
        printf("turbulent pass %u relative residual %.3e\n", (unsigned)i, residuals[i]);
        expect((residuals[i] <= 1.0e-6) == (i + 1 == passes), "only the last pass converged");
    }
    pipenet_free(net);
}

/* Each loop told from its header alone, and analysed as when its flow is named. */
static void flow_from_header(void) {
    const char* texts[2] = {laminar_loop, turbulent_loop};
    const pipenet_flow flows[2] = {PIPENET_LAMINAR, PIPENET_TURBULENT};
    int k;
    for (k = 0; k < 2; ++k) {
        pipenet_network* told = NULL;
        pipenet_network* named = NULL;
        double told_heads[4], named_heads[4];
        int i;
        expect(pipenet_load(texts[k], strlen(texts[k]), PIPENET_FLOW_FROM_HEADER, &told) ==
                   PIPENET_OK,
               "a network loads with its flow told from its header");
        expect(pipenet_load(texts[k], strlen(texts[k]), flows[k], &named) == PIPENET_OK,
               "the same network loads with its flow named");
        if (told == NULL || named == NULL) {
            pipenet_free(told);
            pipenet_free(named);
            continue;
        }
        expect(pipenet_flow_of(told) == flows[k], "the header tells the flow");
        expect(pipenet_solve(told) == PIPENET_OK && pipenet_solve(named) == PIPENET_OK,
               "both solve");
        expect(pipenet_heads(told, told_heads, 4) == PIPENET_OK &&
                   pipenet_heads(named, named_heads, 4) == PIPENET_OK,
               "both give heads");
        for (i = 0; i < 4; ++i)
            expect(told_heads[i] == named_heads[i], "the same heads as with the flow named");
        pipenet_free(told);
        pipenet_free(named);
    }
}

int main(void) {
    pipenet_network* net = (pipenet_network*)1;
    expect(pipenet_load("  not a network\n", 16, PIPENET_LAMINAR, &net) == PIPENET_UNREADABLE &&
               net == NULL,
           "text that is not a network is unreadable");
    net = (pipenet_network*)1;
    expect(pipenet_load("  not a network\n", 16, PIPENET_FLOW_FROM_HEADER, &net) ==
                   PIPENET_UNREADABLE &&
               net == NULL,
           "a text with no header tells no flow");
    laminar();
    turbulent();
    flow_from_header();
    printf("%s\n", failures == 0 ? "all results as expected" : "some results differ");
    return failures == 0 ? 0 : 1;
}
