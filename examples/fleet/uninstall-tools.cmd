@echo off
rem Takes the programs' folder away, with both programs. Exit 0 when it is gone.
setlocal
rem The programs' folder: ProgramW6432 names the 64-bit Program Files from a
rem 32-bit cmd too, and is unset on 32-bit Windows.
set "base=%ProgramW6432%"
if not defined base set "base=%ProgramFiles%"
set "dest=%base%\Example\prnuninst"
if exist "%dest%\" rd /s /q "%dest%"
if exist "%dest%\" exit /b 1
exit /b 0
