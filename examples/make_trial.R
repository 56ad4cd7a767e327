# Writes trial.sav, the sample data of the README's results section: 260
# participants of a three-arm trial as SPSS stores them, with age, gender
# (labelled codes 1/2), condition (labelled codes 1/2/3), two personality
# scores and the outcome, wellbeing after the trial. Prints R's numbers for
# the three-step hierarchical regression the README reports.
# Run from this directory: Rscript make_trial.R (R with haven).
library(haven)
set.seed(20261210)
n <- 260
age <- round(runif(n, 18, 70))
gender <- sample(c(1, 2), n, replace = TRUE)
condition <- sample(rep(c(1, 2, 3), length.out = n))
neuroticism <- round(rnorm(n, 3, 0.7), 1)
conscientiousness <- round(rnorm(n, 3.4, 0.6), 1)
wellbeing <- round(40 + 0.12 * age + 1.5 * (gender == 2) + c(0, 4, 2.5)[condition] -
                   3 * neuroticism + 2 * conscientiousness + rnorm(n, sd = 6), 1)
d <- data.frame(
  wellbeing = wellbeing,
  age = age,
  gender = labelled_spss(gender, labels = c(male = 1, female = 2)),
  condition = labelled_spss(condition, labels = c(control = 1, mindfulness = 2, exercise = 3)),
  neuroticism = neuroticism,
  conscientiousness = conscientiousness
)
write_sav(d, "trial.sav")

r <- read_sav("trial.sav")
r$gender <- factor(r$gender, labels = c("male", "female"))
r$condition <- factor(r$condition, labels = c("control", "mindfulness", "exercise"))
m1 <- lm(wellbeing ~ age + gender, r)
m2 <- update(m1, . ~ . + condition)
m3 <- update(m2, . ~ . + neuroticism + conscientiousness)
print(anova(m1, m2, m3))
for (m in list(m1, m2, m3)) cat(sprintf("R2 %.5f\n", summary(m)$r.squared))
print(summary(m3)$coefficients)
print(confint(m3))
