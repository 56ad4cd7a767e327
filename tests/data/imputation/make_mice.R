# Writes mice_long.csv: mice's nhanes data (25 cases, missing values in bmi, hyp and chl)
# imputed five times and stacked as complete(imp, "long") gives them, with the
# columns .imp (the number of the imputation) and .id (the case) before the data.
#   Rscript tests/data/imputation/make_mice.R     (R 4.2, r-cran-mice 3.15)
library(mice)
out <- file.path(dirname(sub("--file=", "", grep("--file=", commandArgs(FALSE), value = TRUE))), "mice_long.csv")
imp <- mice(nhanes, m = 5, seed = 1, printFlag = FALSE)
long <- complete(imp, "long")
write.csv(long, out, row.names = FALSE)
str(long)
