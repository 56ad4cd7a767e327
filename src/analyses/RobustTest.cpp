// The robust Wald test: Eigen's pivoting QR for the fit and the leverages, Cholesky for the Wald form.
#include "analyses/RobustTest.h"

#include "analyses/BootstrapDetails.h"
#include "analyses/CaseMatrix.h"

#include <Eigen/Cholesky>
#include <Eigen/Dense>
#include <Eigen/QR>

#include <algorithm>
#include <cmath>

namespace orvalis {

const char* robustCovarianceName(RobustCovariance covariance)
{
    return covariance == RobustCovariance::HC4 ? "HC4" : "HC3";
}

RobustOutcome robustFChange(const CaseMatrix& cases, std::int32_t p, std::int32_t q, RobustCovariance covariance)
{
    using Eigen::Index;
    const Index n = cases.NumComplete;
    const Index k = p + q + 1; // the coefficients, with the intercept
    if (q < 1 || n - k < 1) {
        return {std::nullopt, "too few complete cases"};
    }
    // The design in rows first..first+count-1 (0-based): an intercept, then
    // the predictor columns as stored (each column's shift moves only the
    // intercept), and the dependent variable.
    auto design = [&](Index first, Index count, Eigen::MatrixXd& X, Eigen::VectorXd* y) {
        X.resize(count, k);
        if (y != nullptr) {
            y->resize(count);
        }
        for (Index i = 0; i < count; ++i) {
            const float* row = cases.row(static_cast<std::int32_t>(first + i) + 1);
            X(i, 0) = 1.0;
            for (Index c = 1; c < k; ++c) {
                X(i, c) = row[c];
            }
            if (y != nullptr) {
                (*y)(i) = row[0];
            }
        }
    };
    Eigen::MatrixXd X;
    Eigen::VectorXd y;
    design(0, n, X, &y);
    // Decomposed in place: the design's one copy becomes the factors.
    const Eigen::ColPivHouseholderQR<Eigen::Ref<Eigen::MatrixXd>> qr(X);
    if (qr.rank() < k) {
        return {std::nullopt, "the predictors are linearly dependent"};
    }
    const Eigen::VectorXd b = qr.solve(y);
    // X P = Q R, so with A = X P R^-1 (orthonormal columns): h_i = |A_i|^2,
    // and the sandwich is P R^-1 (A' W A) R^-T P'. A is formed a block of
    // rows at a time, so that only the factors take n x k numbers.
    const Eigen::MatrixXd R = qr.matrixR().topLeftCorner(k, k).triangularView<Eigen::Upper>();
    const Eigen::MatrixXd Rinverse = R.triangularView<Eigen::Upper>().solve(Eigen::MatrixXd::Identity(k, k));
    const auto& P = qr.colsPermutation();
    constexpr Index BlockRows = 4096;
    Eigen::MatrixXd meat = Eigen::MatrixXd::Zero(k, k);
    double residualSquares = 0.0;
    Eigen::MatrixXd block;
    Eigen::VectorXd blockY;
    for (Index first = 0; first < n; first += BlockRows) {
        const Index count = std::min(BlockRows, n - first);
        design(first, count, block, &blockY);
        const Eigen::VectorXd e = blockY - block * b;
        residualSquares += e.squaredNorm();
        const Eigen::MatrixXd A = (block * P) * Rinverse;
        Eigen::VectorXd w(count);
        for (Index i = 0; i < count; ++i) {
            const double h = A.row(i).squaredNorm();
            const double rest = 1.0 - h;
            if (!(rest > 1e-12)) {
                return {std::nullopt, "a complete case has leverage 1"};
            }
            const double d = covariance == RobustCovariance::HC4
                                 ? std::min(4.0, static_cast<double>(n) * h / static_cast<double>(k))
                                 : 2.0;
            w(i) = e(i) * e(i) / std::pow(rest, d);
        }
        meat.noalias() += A.transpose() * w.asDiagonal() * A;
    }
    if (residualSquares == 0.0) {
        return {std::nullopt, "the full model fits the complete cases exactly"};
    }
    const Eigen::MatrixXd V = P * (Rinverse * meat * Rinverse.transpose()) * P.transpose();

    const Eigen::VectorXd added = b.tail(q);
    const Eigen::MatrixXd addedBlock = V.bottomRightCorner(q, q);
    const Eigen::LLT<Eigen::MatrixXd> llt(addedBlock);
    if (llt.info() != Eigen::Success) {
        return {std::nullopt, "the robust covariance of the added coefficients is not positive definite"};
    }
    RobustFTest test;
    test.F = added.dot(llt.solve(added)) / static_cast<double>(q);
    test.df1 = q;
    test.df2 = static_cast<std::int32_t>(n - k);
    if (!std::isfinite(test.F)) {
        return {std::nullopt, "the Wald statistic is not finite"};
    }
    test.PValue = fUpperTail(test.F, test.df1, test.df2);
    return {test, {}};
}

} // namespace orvalis
