// ComputeCoefficients: Eigen's pivoting QR of the centred design, Boost.Math's Student t.
#include "analyses/Coefficients.h"

#include <Eigen/Dense>
#include <Eigen/QR>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>

namespace orvalis {

CoefficientsOutcome ComputeCoefficients(const CaseMatrix& cases, std::int32_t k, ConfidenceLevel level)
{
    using Eigen::Index;
    const Index n = cases.NumComplete;
    if (k < 0 || k + 1 > cases.columns || n < k + 2) {
        return {std::nullopt, "too few complete cases"};
    }
    // The means of the stored values, then the centred design and dependent
    // variable (two passes, so that nothing cancels).
    Eigen::VectorXd mean = Eigen::VectorXd::Zero(k + 1);
    for (Index i = 1; i <= n; ++i) {
        const float* row = cases.row(static_cast<std::int32_t>(i));
        for (Index c = 0; c <= k; ++c) {
            mean(c) += row[c];
        }
    }
    mean /= static_cast<double>(n);
    Eigen::MatrixXd X(n, k);
    Eigen::VectorXd y(n);
    for (Index i = 0; i < n; ++i) {
        const float* row = cases.row(static_cast<std::int32_t>(i) + 1);
        y(i) = row[0] - mean(0);
        for (Index c = 1; c <= k; ++c) {
            X(i, c - 1) = row[c] - mean(c);
        }
    }
    const double totalSquares = y.squaredNorm();
    if (!(totalSquares > 0.0)) {
        return {std::nullopt, "the dependent variable is constant"};
    }
    Eigen::VectorXd columnSquares(k);
    for (Index c = 0; c < k; ++c) {
        columnSquares(c) = X.col(c).squaredNorm();
    }

    // b and (X'X)^-1 = P R^-1 R^-T P' from the factors X P = Q R.
    Eigen::VectorXd b(k);
    Eigen::MatrixXd inverse(k, k);
    if (k > 0) {
        const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(X);
        if (qr.rank() < k) {
            return {std::nullopt, "the predictors are linearly dependent"};
        }
        b = qr.solve(y);
        const Eigen::MatrixXd R = qr.matrixR().topLeftCorner(k, k).triangularView<Eigen::Upper>();
        const Eigen::MatrixXd Rinverse = R.triangularView<Eigen::Upper>().solve(Eigen::MatrixXd::Identity(k, k));
        const auto& P = qr.colsPermutation();
        inverse = P * (Rinverse * Rinverse.transpose()) * P.transpose();
    }
    const double residualSquares = (y - X * b).squaredNorm();
    const auto df = static_cast<std::int32_t>(n - k - 1);
    const double s2 = residualSquares / static_cast<double>(df);

    CoefficientTable table;
    table.df = df;
    table.R2 = 1.0 - residualSquares / totalSquares;
    const boost::math::students_t_distribution<double> student(df);
    const double critical = boost::math::quantile(boost::math::complement(student, (1.0 - analyticLevel(level)) / 2.0));
    auto row = [&](std::int32_t column, double B, double variance) {
        Coefficient coefficient;
        coefficient.column = column;
        coefficient.B = B;
        coefficient.SE = std::sqrt(variance);
        coefficient.lower = B - critical * coefficient.SE;
        coefficient.upper = B + critical * coefficient.SE;
        coefficient.t = B / coefficient.SE;
        coefficient.p = 2.0 * boost::math::cdf(boost::math::complement(student, std::fabs(coefficient.t)));
        return coefficient;
    };

    // The intercept in the data's own units: the stored values' means plus
    // each column's shift; a centred column's mean is 0.
    Eigen::VectorXd xMean(k);
    for (Index c = 0; c < k; ++c) {
        const auto column = static_cast<std::size_t>(c) + 1;
        xMean(c) = cases.centred[column] ? 0.0 : mean(c + 1) + static_cast<double>(cases.shift[column]);
    }
    const double yMean = mean(0) + static_cast<double>(cases.shift[0]);
    table.means.push_back(yMean);
    for (Index c = 0; c < k; ++c) {
        table.means.push_back(mean(c + 1) + static_cast<double>(cases.shift[static_cast<std::size_t>(c) + 1]));
    }
    table.covariance.resize(static_cast<std::size_t>(k * k));
    for (Index a = 0; a < k; ++a) {
        for (Index c = 0; c < k; ++c) {
            table.covariance[static_cast<std::size_t>(a * k + c)] = s2 * inverse(a, c);
        }
    }
    const double intercept = k > 0 ? yMean - xMean.dot(b) : yMean;
    const double interceptVariance = s2 * (1.0 / static_cast<double>(n) + (k > 0 ? xMean.dot(inverse * xMean) : 0.0));
    table.rows.push_back(row(0, intercept, interceptVariance));
    for (Index c = 0; c < k; ++c) {
        Coefficient coefficient = row(static_cast<std::int32_t>(c) + 1, b(c), s2 * inverse(c, c));
        coefficient.beta = b(c) * std::sqrt(columnSquares(c) / totalSquares);
        coefficient.sr2 = coefficient.t * coefficient.t * (1.0 - table.R2) / static_cast<double>(df);
        coefficient.vif = inverse(c, c) * columnSquares(c);
        coefficient.tolerance = 1.0 / *coefficient.vif;
        table.rows.push_back(coefficient);
    }
    return {std::move(table), std::string()};
}

} // namespace orvalis
