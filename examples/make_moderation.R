# Makes moderation.csv, the README's worked moderation example (does the
# effect of stress on wellbeing depend on social support, and on the training
# condition?), and prints the numbers the tests hold the program to:
#   Rscript make_moderation.R        (R with the boot package)
# The program reads the values in single precision; the checks below read
# them so too.
library(boot)
set.seed(20261210)
n <- 180
stress <- round(rnorm(n, 20, 5), 1)
support <- round(rnorm(n, 3.5, 1), 2)
condition <- factor(rep(c("control", "mindfulness", "exercise"), length.out = n),
                    levels = c("control", "mindfulness", "exercise"))
wellbeing <- 60 - 0.9 * stress + 2 * support + 0.25 * (stress - 20) * (support - 3.5) +
    ifelse(condition == "mindfulness", 3 + 0.4 * (stress - 20), 0) +
    ifelse(condition == "exercise", 1.5, 0) + rnorm(n, 0, 4)
d <- data.frame(wellbeing = round(wellbeing, 1), stress, support, condition)
write.csv(d, "moderation.csv", row.names = FALSE, quote = FALSE)

f <- function(x) readBin(writeBin(as.double(x), raw(), size = 4), "double", size = 4, n = length(x))
d$wellbeing <- f(d$wellbeing); d$stress <- f(d$stress); d$support <- f(d$support)
options(digits = 10)

# Numeric by numeric, centred and not.
m1 <- lm(wellbeing ~ stress + support, d)
m2 <- lm(wellbeing ~ stress * support, d)
cat("R2", summary(m1)$r.squared, summary(m2)$r.squared, "change", summary(m2)$r.squared - summary(m1)$r.squared, "\n")
print(anova(m1, m2))
print(coef(summary(m2)))
d$stress_c <- d$stress - mean(d$stress); d$support_c <- d$support - mean(d$support)
m2c <- lm(wellbeing ~ stress_c * support_c, d)
print(coef(summary(m2c)))
# Simple slopes of stress at support's mean and one SD either side, by hand from vcov.
b <- coef(m2c); V <- vcov(m2c)
for (w in mean(d$support) + c(-1, 0, 1) * sd(d$support)) {
    dw <- w - mean(d$support)
    s <- b["stress_c"] + dw * b["stress_c:support_c"]
    se <- sqrt(V["stress_c", "stress_c"] + 2 * dw * V["stress_c", "stress_c:support_c"] +
               dw^2 * V["stress_c:support_c", "stress_c:support_c"])
    cat(sprintf("slope at %.10f: %.10f SE %.10f t %.10f p %.10g\n", w, s, se, s / se,
                2 * pt(-abs(s / se), df.residual(m2c))))
}
# Johnson-Neyman: the roots of (b1 + b3 d)^2 - t^2 (v11 + 2 d v13 + d^2 v33) in d, plus the centre.
tc <- qt(0.975, df.residual(m2c))
A <- b[4]^2 - tc^2 * V[4, 4]; B <- 2 * (b[2] * b[4] - tc^2 * V[2, 4]); C <- b[2]^2 - tc^2 * V[2, 2]
cat("Johnson-Neyman", sort(Re(polyroot(c(C, B, A)))) + mean(d$support), "range", range(d$support), "\n")

# Numeric by categorical.
k1 <- lm(wellbeing ~ stress + condition, d)
k2 <- lm(wellbeing ~ stress * condition, d)
cat("R2", summary(k1)$r.squared, summary(k2)$r.squared, "change", summary(k2)$r.squared - summary(k1)$r.squared, "\n")
print(anova(k1, k2))
print(coef(summary(k2)))
bk <- coef(k2); Vk <- vcov(k2)
for (g in c("mindfulness", "exercise")) {
    name <- paste0("stress:condition", g)
    s <- bk["stress"] + bk[name]
    se <- sqrt(Vk["stress", "stress"] + 2 * Vk["stress", name] + Vk[name, name])
    cat(sprintf("slope in %s: %.10f SE %.10f\n", g, s, se))
}

# The interaction's R^2 change and the slope at support's mean - 1 SD over 20,000 resamples.
stat <- function(d, i) {
    x <- d[i, ]
    r1 <- summary(lm(wellbeing ~ stress + support, x))$r.squared
    m <- lm(wellbeing ~ stress * support, x)
    w <- mean(d$support) - sd(d$support)
    c(summary(m)$r.squared - r1, coef(m)["stress"] + w * coef(m)["stress:support"])
}
set.seed(1)
bt <- boot(d, stat, R = 20000)
for (j in 1:2) {
    cat("boot", j, "percentile", boot.ci(bt, index = j, type = "perc")$percent[4:5], "\n")
}
