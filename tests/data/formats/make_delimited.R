# Writes the delimited sample files the import tests read, with R's own writers.
# Run from this directory: Rscript make_delimited.R
swiss6 <- head(swiss, 6)
# write.csv: quoted names, an empty first name over the row names.
write.csv(swiss6, "swiss.csv")
# write.csv2: semicolons and decimal commas.
write.csv2(swiss6, "swiss_csv2.csv")
# write.table with tabs: the names line one field short of the data.
write.table(swiss6, "swiss_tab.txt", sep = "\t")
# A text column (Species) and missing values, without row names; a quoted
# label with a comma, a quote and a line break inside.
iris6 <- iris[c(1, 2, 51, 52, 101, 102), ]
iris6$Sepal.Width[2] <- NA
iris6$Note <- c("plain", "with, comma", "say \"hi\"", "two\nlines", NA, "caf\u00e9")
write.csv(iris6, "iris.csv", row.names = FALSE)
# Factors whose labels hold no letter ("25-34", "30+") under numeric row names,
# all quoted: the first eight rows of R's esoph data.
write.csv(head(esoph, 8), "esoph.csv")
