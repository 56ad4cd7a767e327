# Makes boot_beta.csv and prints boot's percentile and BCa intervals of the
# standardized coefficients and squared semipartial correlations of
#   lm(y ~ x1 + x2 + x3)
# for the test Coefficients.BootstrapIntervalsMatchBootInDistribution.
# Run: Rscript make_boot_beta.R (R with the boot package).
library(boot)
set.seed(20261210)
n <- 150
x1 <- rnorm(n)
x2 <- 0.5 * x1 + rnorm(n)
x3 <- rexp(n)
y <- 0.5 * x1 + 0.3 * x2 + 0.1 * x3 + (rexp(n) - 1)
d <- data.frame(y = round(y, 4), x1 = round(x1, 4), x2 = round(x2, 4), x3 = round(x3, 4))
write.csv(d, "boot_beta.csv", row.names = FALSE, quote = FALSE)
# The program reads the values in single precision.
f <- function(x) readBin(writeBin(as.double(x), raw(), size = 4), "double", size = 4, n = length(x))
d[] <- lapply(d, f)
predictors <- c("x1", "x2", "x3")
stat <- function(d, i) {
    z <- as.data.frame(scale(d[i, ]))
    m <- lm(y ~ x1 + x2 + x3, z)
    full <- summary(m)$r.squared
    sr2 <- sapply(predictors, function(v)
        full - summary(lm(reformulate(setdiff(predictors, v), "y"), z))$r.squared)
    c(coef(m)[-1], sr2)
}
set.seed(1)
bt <- boot(d, stat, R = 20000)
for (j in 1:6) {
    ci <- boot.ci(bt, index = j, type = c("perc", "bca"))
    cat(sprintf("%s %s: percentile [%.4f, %.4f] BCa [%.4f, %.4f]\n", if (j <= 3) "beta" else "sr2",
                predictors[(j - 1) %% 3 + 1], ci$percent[4], ci$percent[5], ci$bca[4], ci$bca[5]))
}
