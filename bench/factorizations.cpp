// The sparse Cholesky factorizations the analysis could use, timed on the Newton matrix of one
// network (its links taken as linear, Q = k * dh): ordering and symbolic analysis, numeric
// factorization, one solve, and the fill. One method per run so that the peak memory the shell
// measures is that method's.
//
//     factorizations FILE METHOD      METHOD: eigen-llt, eigen-ldlt, eigen-ldlt-metis (when
//                                     built with METIS), cholmod-supernodal, cholmod-simplicial
//                                     cholmod-supernodal-amd, -metis, -nesdis (one ordering
//                                     only) (when built with CHOLMOD)
#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream> // Eigen's METIS support writes its errors with std::cerr
#include <iterator>
#include <string>
#include <vector>

#include <Eigen/OrderingMethods>
#include <Eigen/SparseCholesky>
#include <Eigen/SparseCore>
#ifdef PIPENET_BENCH_CHOLMOD
#include <Eigen/CholmodSupport>
#endif
#ifdef PIPENET_BENCH_METIS
#include <Eigen/MetisSupport>
#endif

#include "analysis/element_laws.hpp"
#include "bench/thread_clock.hpp"
#include "model/read_records.hpp"

namespace {

using Matrix = Eigen::SparseMatrix<double, Eigen::ColMajor, int>;
using pipenet::bench::Clock;
using pipenet::bench::since;

// The matrix of the free nodes' balances with every open link as a conductance k, and the right
// side of the known heads and the given discharges.
void newton_matrix(const pipenet::model::Model& m, Matrix& a, Eigen::VectorXd& b) {
    std::vector<int> row(m.nodes.size(), -1);
    int rows = 0;
    for (std::size_t i = 0; i < m.nodes.size(); ++i)
        if (!m.nodes[i].fixed_head) row[i] = rows++;
    b = Eigen::VectorXd::Zero(rows);
    for (std::size_t i = 0; i < m.nodes.size(); ++i)
        if (row[i] >= 0) b[row[i]] = m.nodes[i].demand.value;
    std::vector<Eigen::Triplet<double, int>> entries;
    for (const pipenet::model::Link& link : m.links) {
        const double k = pipenet::analysis::link_law(m.law, link, m.rho_g_over_mu.value).k;
        const int ra = row[static_cast<std::size_t>(link.start)];
        const int rb = row[static_cast<std::size_t>(link.end)];
        for (auto [r, other, node] : {std::tuple{ra, rb, link.end}, {rb, ra, link.start}}) {
            if (r < 0) continue;
            entries.emplace_back(r, r, k);
            if (other >= 0 && other < r) entries.emplace_back(r, other, -k);
            const auto& far = m.nodes[static_cast<std::size_t>(node)];
            if (other < 0 && far.fixed_head) b[r] += k * far.fixed_head->value;
        }
    }
    a.resize(rows, rows);
    a.setFromTriplets(entries.begin(), entries.end());
    a.makeCompressed();
}

template <typename Solver>
int measure(const char* name, const Matrix& a, const Eigen::VectorXd& b, long (*fill)(Solver&),
            void (*prepare)(Solver&) = nullptr) {
    Solver solver;
    if (prepare != nullptr) prepare(solver);
    auto start = Clock::now();
    solver.analyzePattern(a);
    const double analyse = since(start);
    double factorize = 0.0;
    const int repeats = 3;
    for (int i = 0; i < repeats; ++i) {
        start = Clock::now();
        solver.factorize(a);
        factorize += since(start) / repeats;
        if (solver.info() != Eigen::Success) {
            std::printf("%s: the factorization failed\n", name);
            return 1;
        }
    }
    start = Clock::now();
    const Eigen::VectorXd x = solver.solve(b);
    const double solve = since(start);
    const double residual = (a.selfadjointView<Eigen::Lower>() * x - b).cwiseAbs().maxCoeff();
    std::printf("%-20s rows %9ld  fill %11ld  analyse %7.3f s  factorize %7.3f s  solve %7.3f s  "
                "largest residual %.1e\n",
                name, static_cast<long>(a.rows()), fill(solver), analyse, factorize, solve,
                residual);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: factorizations FILE METHOD\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    pipenet::model::Model m;
    std::string error;
    if (!pipenet::model::read_model(text, pipenet::Program::turbnet, argv[1], m, error)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.c_str());
        return 2;
    }
    Matrix a;
    Eigen::VectorXd b;
    newton_matrix(m, a, b);
    const std::string method = argv[2];
    using Llt = Eigen::SimplicialLLT<Matrix, Eigen::Lower, Eigen::AMDOrdering<int>>;
    using Ldlt = Eigen::SimplicialLDLT<Matrix, Eigen::Lower, Eigen::AMDOrdering<int>>;
    if (method == "eigen-llt")
        return measure<Llt>("eigen-llt", a, b, [](Llt& s) {
            return static_cast<long>(s.matrixL().nestedExpression().nonZeros());
        });
    if (method == "eigen-ldlt")
        return measure<Ldlt>("eigen-ldlt", a, b, [](Ldlt& s) {
            return static_cast<long>(s.matrixL().nestedExpression().nonZeros());
        });
#ifdef PIPENET_BENCH_METIS
    using Nested = Eigen::SimplicialLDLT<Matrix, Eigen::Lower, Eigen::MetisOrdering<int>>;
    if (method == "eigen-ldlt-metis")
        return measure<Nested>("eigen-ldlt-metis", a, b, [](Nested& s) {
            return static_cast<long>(s.matrixL().nestedExpression().nonZeros());
        });
#endif
#ifdef PIPENET_BENCH_CHOLMOD
    using Super = Eigen::CholmodSupernodalLLT<Matrix, Eigen::Lower>;
    using Simple = Eigen::CholmodSimplicialLLT<Matrix, Eigen::Lower>;
    if (method == "cholmod-supernodal")
        return measure<Super>("cholmod-supernodal", a, b,
                              [](Super& s) { return static_cast<long>(s.cholmod().lnz); });
    // One ordering only, instead of CHOLMOD's default choice between AMD and METIS.
    if (method == "cholmod-supernodal-metis" || method == "cholmod-supernodal-nesdis" ||
        method == "cholmod-supernodal-amd") {
        static int ordering = method == "cholmod-supernodal-metis"    ? CHOLMOD_METIS
                              : method == "cholmod-supernodal-nesdis" ? CHOLMOD_NESDIS
                                                                      : CHOLMOD_AMD;
        return measure<Super>(
            method.c_str(), a, b, [](Super& s) { return static_cast<long>(s.cholmod().lnz); },
            [](Super& s) {
                s.cholmod().nmethods = 1;
                s.cholmod().method[0].ordering = ordering;
                s.cholmod().postorder = 1;
            });
    }
    if (method == "cholmod-simplicial")
        return measure<Simple>("cholmod-simplicial", a, b,
                               [](Simple& s) { return static_cast<long>(s.cholmod().lnz); });
#endif
    std::fprintf(stderr, "factorizations: no method %s in this build\n", method.c_str());
    return 2;
}
