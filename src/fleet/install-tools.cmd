@echo off
rem Puts prnuninst.exe and prncheck.exe, from this file's folder, into the
rem programs' folder under Program Files, where the kit's scripts run them.
rem Removes nothing. Exit 0 when both are there, 1 when not.
setlocal
rem @include folder.cmd
rem @include copy.cmd
exit /b 0
