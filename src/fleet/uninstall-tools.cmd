@echo off
rem Takes the programs' folder away, with both programs. Exit 0 when it is gone.
setlocal
rem @include folder.cmd
if exist "%dest%\" rd /s /q "%dest%"
if exist "%dest%\" exit /b 1
exit /b 0
