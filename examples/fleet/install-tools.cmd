@echo off
rem Puts prnuninst.exe and prncheck.exe, from this file's folder, into the
rem programs' folder under Program Files, where the kit's scripts run them.
rem Removes nothing. Exit 0 when both are there, 1 when not.
setlocal
rem The programs' folder: ProgramW6432 names the 64-bit Program Files from a
rem 32-bit cmd too, and is unset on 32-bit Windows.
set "base=%ProgramW6432%"
if not defined base set "base=%ProgramFiles%"
set "dest=%base%\Example\prnuninst"
rem Each step on its own line, with its status tested after it: Wine 8's cmd
rem runs the command after "||" even when the first one succeeds.
if not exist "%dest%\" mkdir "%dest%"
if not exist "%dest%\" exit /b 1
copy /b /y "%~dp0prnuninst.exe" "%dest%\prnuninst.exe" >nul
if errorlevel 1 exit /b 1
copy /b /y "%~dp0prncheck.exe" "%dest%\prncheck.exe" >nul
if errorlevel 1 exit /b 1
exit /b 0
