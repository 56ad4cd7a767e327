# Writes swiss.csv (R's datasets::swiss, 47 provinces, with row names) and prints the values the
# APA test compares against: R^2 of both models and the F test of the added block.
#   Rscript tests/data/apa/make_swiss.R
out <- file.path(dirname(sub("--file=", "", grep("--file=", commandArgs(FALSE), value = TRUE))), "swiss.csv")
write.csv(swiss, out)
reduced <- lm(Fertility ~ Agriculture + Examination, data = swiss)
full <- lm(Fertility ~ Agriculture + Examination + Education + Catholic + Infant.Mortality, data = swiss)
cat(sprintf("R2 reduced %.10f full %.10f change %.10f\n", summary(reduced)$r.squared,
            summary(full)$r.squared, summary(full)$r.squared - summary(reduced)$r.squared))
print(anova(reduced, full))
