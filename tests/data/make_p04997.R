# Writes p04997.txt: 39 cases of y and five predictors whose F test of all
# five (df1 = 5, df2 = 33) has an exact p-value just below 0.05, where the
# normal approximation rounded to three decimals says 0.050.
# Run from this folder: Rscript make_p04997.R
set.seed(4997)
n <- 39
x <- matrix(round(rnorm(n * 5, 50, 10), 1), n, 5)
e <- rnorm(n)
signal <- drop(x %*% c(0.03, -0.02, 0.025, 0.01, -0.015))
target <- 0.04990
write <- function(scale) {
  y <- round(signal + scale * e, 3)
  fit <- summary(lm(y ~ x))
  f <- fit$fstatistic
  list(y = y, p = pf(f[1], f[2], f[3], lower.tail = FALSE))
}
lo <- 0.01; hi <- 10
for (i in 1:200) {
  mid <- (lo + hi) / 2
  if (write(mid)$p < target) lo <- mid else hi <- mid
}
best <- write((lo + hi) / 2)
cat("exact p:", format(best$p, digits = 10), "\n")
write.table(cbind(best$y, x), "p04997.txt", row.names = FALSE, col.names = FALSE)
