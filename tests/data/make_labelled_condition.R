# Writes labelled_condition.sav: a condition stored as SPSS stores it (numeric codes 1/2/3 with value labels),
# and prints the factor model's numbers the tests quote.
# Run from this directory: Rscript make_labelled_condition.R
library(haven)
set.seed(20240611)
n <- 60
age <- round(runif(n, 20, 65))
gender <- sample(c(1, 2), n, replace = TRUE)
condition <- rep(c(1, 2, 3), length.out = n)
condition <- condition[sample.int(n)]
y <- round(10 + 0.08 * age + 0.6 * (gender == 2) + c(0, 1.4, 0.7)[condition] + rnorm(n, sd = 1.5), 2)
d <- data.frame(
  y = y,
  age = age,
  gender = labelled_spss(gender, labels = c(male = 1, female = 2)),
  condition = labelled_spss(condition, labels = c(control = 1, mindfulness = 2, exercise = 3))
)
write_sav(d, "labelled_condition.sav")

# The numbers the tests compare with: condition as a factor (reference: control), added to age and gender.
r <- read_sav("labelled_condition.sav")
reduced <- lm(y ~ age + gender, data = r)
full <- lm(y ~ age + gender + factor(condition), data = r)
a <- anova(reduced, full)
r2r <- summary(reduced)$r.squared
r2f <- summary(full)$r.squared
cat(sprintf("R2 reduced %.10f\nR2 full %.10f\nR2 change %.10f\nF change %.10f\ndf %d %d\np %.10g\n",
            r2r, r2f, r2f - r2r, a$F[2], a$Df[2], a$Res.Df[2], a[["Pr(>F)"]][2]))
# Condition entered as one number, as it would be without declaring it categorical.
linear <- lm(y ~ age + gender + as.numeric(condition), data = r)
cat(sprintf("linear: R2 change %.10f F %.10f df 1 %d\n", summary(linear)$r.squared - r2r,
            anova(reduced, linear)$F[2], linear$df.residual))
# The factor with exercise as its reference, for the coefficients' indicator names.
print(coef(lm(y ~ age + gender + relevel(factor(condition), ref = "3"), data = r)))
print(coef(full))
