# Writes mtcars.csv and iris.csv (R's datasets, with row names for mtcars) and prints the values the
# hierarchical tests compare against: each step's R^2 from lm, and the F change of each step against
# the step before with that step's own error term (as SPSS reports it).
#   Rscript tests/data/hierarchical/make_r_data.R
here <- dirname(sub("--file=", "", grep("--file=", commandArgs(FALSE), value = TRUE)))
write.csv(mtcars, file.path(here, "mtcars.csv"))
write.csv(iris, file.path(here, "iris.csv"), row.names = FALSE)
fchange <- function(small, big) {
  a <- anova(small, big)
  # anova(small, big) with two models uses big's own residuals: the SPSS F change.
  sprintf("F = %.10f df1 = %d df2 = %d p = %.10e", a$F[2], a$Df[2], a$Res.Df[2], a$`Pr(>F)`[2])
}
m0 <- lm(mpg ~ 1, mtcars)
m1 <- lm(mpg ~ wt, mtcars)
m2 <- lm(mpg ~ wt + hp, mtcars)
m3 <- lm(mpg ~ wt + hp + am + qsec, mtcars)
for (m in list(m1, m2, m3)) cat(sprintf("mtcars R2 %.12f\n", summary(m)$r.squared))
cat("step 1", fchange(m0, m1), "\n")
cat("step 2", fchange(m1, m2), "\n")
cat("step 3", fchange(m2, m3), "\n")
cat("anova(m1, m2, m3) for comparison (largest model's error term):\n")
print(anova(m1, m2, m3))
i1 <- lm(Sepal.Length ~ Sepal.Width, iris)
i2 <- lm(Sepal.Length ~ Sepal.Width + Species, iris)
cat(sprintf("iris R2 %.12f %.12f\n", summary(i1)$r.squared, summary(i2)$r.squared))
cat("iris step 1", fchange(lm(Sepal.Length ~ 1, iris), i1), "\n")
cat("iris step 2", fchange(i1, i2), "\n")
