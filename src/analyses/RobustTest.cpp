// The robust Wald test: Eigen's pivoting QR for the fit and the leverages, Cholesky for the Wald form.
#include "analyses/RobustTest.h"

#include "analyses/BootstrapDetails.h"
#include "analyses/CompleteCases.h"

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
    // The design: an intercept, then the predictor columns as stored (each
    // column's shift moves only the intercept).
    Eigen::MatrixXd X(n, k);
    Eigen::VectorXd y(n);
    for (Index i = 0; i < n; ++i) {
        const float* row = cases.row(static_cast<std::int32_t>(i) + 1);
        y(i) = row[0];
        X(i, 0) = 1.0;
        for (Index c = 1; c < k; ++c) {
            X(i, c) = row[c];
        }
    }
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(X);
    if (qr.rank() < k) {
        return {std::nullopt, "the predictors are linearly dependent"};
    }
    // X P = Q R, so with A = X P R^-1 (orthonormal columns): b = P R^-1 A'y,
    // h_i = |A_i|^2, and the sandwich is P R^-1 (A' W A) R^-T P'.
    const auto R = qr.matrixR().topLeftCorner(k, k).template triangularView<Eigen::Upper>();
    const Eigen::MatrixXd XP = X * qr.colsPermutation();
    const Eigen::MatrixXd A = R.transpose().solve(XP.transpose()).transpose();
    const Eigen::VectorXd b = qr.solve(y);
    const Eigen::VectorXd e = y - X * b;
    if (e.squaredNorm() == 0.0) {
        return {std::nullopt, "the full model fits the complete cases exactly"};
    }
    Eigen::VectorXd w(n);
    for (Index i = 0; i < n; ++i) {
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
    const Eigen::MatrixXd meat = A.transpose() * w.asDiagonal() * A;
    // R^-1 meat R^-T, then undo the pivoting: V = P M P'.
    Eigen::MatrixXd M = R.solve(meat);
    M = R.solve(M.transpose()).transpose();
    const Eigen::MatrixXd V = qr.colsPermutation() * M * qr.colsPermutation().transpose();

    const Eigen::VectorXd added = b.tail(q);
    const Eigen::MatrixXd block = V.bottomRightCorner(q, q);
    const Eigen::LLT<Eigen::MatrixXd> llt(block);
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
