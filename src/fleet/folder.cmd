rem The programs' folder: ProgramW6432 names the 64-bit Program Files from a
rem 32-bit cmd too, and is unset on 32-bit Windows.
set "base=%ProgramW6432%"
if not defined base set "base=%ProgramFiles%"
set "dest=%base%\@PROGRAMS_FOLDER@"
