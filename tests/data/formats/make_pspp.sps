* Writes the SPSS files PSPP's own writers make, for the import tests.
* Run from this directory: pspp make_pspp.sps
DATA LIST LIST /score anx (F8.2) group (A10).
BEGIN DATA
12.5 3 control
14 4 treated
. 2 control
9.25 5 " "
11 1 "café"
END DATA.
VARIABLE LABELS anx 'Anxiety score'.
MISSING VALUES anx (5).
SAVE OUTFILE='pspp.sav'.
EXPORT OUTFILE='pspp.por'.
