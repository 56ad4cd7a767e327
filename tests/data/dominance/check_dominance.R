# Prints the all-subsets dominance analyses the tests hold the program to
# (tests/test_Dominance.cpp), by lm over every subset of units and the Shapley
# formula: Rscript check_dominance.R (base R; boot for the last part).
# The program reads the values in single precision; so do these checks.
f <- function(x) if (is.numeric(x)) readBin(writeBin(as.double(x), raw(), size = 4), "double", size = 4, n = length(x)) else x
dominance <- function(d, y, units, covariates = character()) {
    m <- length(units)
    masks <- 0:(2^m - 1)
    has <- function(mask) bitwAnd(mask, 2^(0:(m - 1))) > 0
    r2 <- sapply(masks, function(mask) {
        vars <- c(covariates, unlist(units[has(mask)]))
        if (length(vars) == 0) 0 else summary(lm(reformulate(vars, y), d))$r.squared
    })
    size <- sapply(masks, function(mask) sum(has(mask)))
    conditional <- t(sapply(1:m, function(u) {
        bit <- 2^(u - 1)
        sapply(0:(m - 1), function(k) {
            s <- masks[bitwAnd(masks, bit) == 0 & size == k]
            mean(r2[s + bit + 1] - r2[s + 1])
        })
    }))
    general <- rowMeans(conditional)
    full <- r2[2^m]
    sr2 <- sapply(1:m, function(u) full - r2[2^m - 2^(u - 1)])
    complete <- outer(1:m, 1:m, Vectorize(function(a, b) {
        if (a == b) return(0)
        s <- masks[bitwAnd(masks, 2^(a - 1) + 2^(b - 1)) == 0]
        ga <- r2[s + 2^(a - 1) + 1]; gb <- r2[s + 2^(b - 1) + 1]
        if (all(ga > gb)) 1 else if (all(ga < gb)) -1 else 0
    }))
    list(r2 = r2, general = general, share = general / (full - r2[1]), conditional = conditional, sr2 = sr2,
         complete = complete, full = full, covariates = r2[1])
}
show <- function(name, x) {
    cat("==", name, "\n")
    cat("full", format(x$full, digits = 12), "covariates", format(x$covariates, digits = 12), "\n")
    cat("general", format(x$general, digits = 12), "\n")
    cat("share", format(x$share, digits = 12), "\n")
    cat("sr2", format(x$sr2, digits = 12), "\n")
    cat("conditional\n"); print(x$conditional, digits = 12)
    cat("complete\n"); print(x$complete)
}
mtcars <- read.csv("../hierarchical/mtcars.csv"); mtcars[] <- lapply(mtcars, f)
iris <- read.csv("../hierarchical/iris.csv"); iris[] <- lapply(iris, f)
iris$Species <- factor(iris$Species)
show("mtcars mpg: wt, hp, qsec, am", dominance(mtcars, "mpg", list("wt", "hp", "qsec", "am")))
show("mtcars mpg: wt, hp, qsec, am, drat", dominance(mtcars, "mpg", list("wt", "hp", "qsec", "am", "drat")))
show("mtcars mpg: wt, hp, qsec beyond cyl", dominance(mtcars, "mpg", list("wt", "hp", "qsec"), "cyl"))
show("iris Sepal.Length: Petal.Width, Sepal.Width, Species (block), size = Petal.Length + Petal.Width group",
     dominance(iris, "Sepal.Length", list("Sepal.Width", "Species", c("Petal.Length", "Petal.Width"))))

library(boot)
stat <- function(d, i) {
    x <- dominance(d[i, ], "mpg", list("wt", "hp", "qsec", "am"))
    c(x$general, x$share)
}
set.seed(1)
bt <- boot(mtcars, stat, R = 2000)
for (j in 1:8) cat("boot", j, boot.ci(bt, index = j, type = "perc")$percent[4:5], "\n")
