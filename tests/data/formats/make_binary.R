# Writes the SPSS, Stata and SAS sample files the import tests read, with haven.
# Run from this directory: Rscript make_binary.R
library(haven)
d <- data.frame(
  score = c(12.5, 14, NA, 9.25, 11),
  anx = c(3, 4, 2, 5, 1),
  group = c("control", "treated", "control", "", "caf\u00e9"),
  sex = c(1, 2, 2, 1, 9),
  born = as.Date(c("1990-01-01", "1985-06-15", "2000-12-31", "1970-01-01", "1999-03-03"))
)
attr(d$anx, "label") <- "Anxiety score"
d$sex <- labelled_spss(d$sex, labels = c(male = 1, female = 2, unknown = 9), na_values = 9,
                       label = "Sex of the respondent")
write_sav(d, "study.sav")
write_sav(d, "study.zsav", compress = "zsav")
# Stata: the extended missing value .a for the third anxiety score.
s <- d
s$sex <- as.numeric(s$sex)
s$anx <- c(3, 4, tagged_na("a"), 5, 1)
attr(s$anx, "label") <- "Anxiety score"
write_dta(s, "study.dta", version = 14)
x <- d[, c("score", "anx", "group")]
write_xpt(x, "study.xpt")
# SAS: haven's own (deprecated, but ReadStat's) writer.
suppressWarnings(write_sas(x, "study.sas7bdat"))
