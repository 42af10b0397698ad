@echo off
rem Install command of the Win32 app (Intune) or application (Configuration
rem Manager) that removes one model:
rem   install.cmd <selector>
rem Puts both programs, from this file's folder, into the programs' folder
rem under Program Files, then removes the model with the copy there. Exit 0
rem (prnuninst.exe always exits 0: the detection script tells whether the
rem model is gone); 1 when the programs could not be put there; 2 for a
rem selector that is not one ASCII letter or digit.
rem The selector, one ASCII letter or digit (compared case by case), or stop.
setlocal EnableDelayedExpansion
set "model=%~1"
set "known="
for %%c in (0 1 2 3 4 5 6 7 8 9 A B C D E F G H I J K L M N O P Q R S T U V W X Y Z a b c d e f g h i j k l m n o p q r s t u v w x y z) do if "!model!"=="%%c" set "known=1"
if not defined known (
    echo %~nx0: give the model's selector, one ASCII letter or digit 1>&2
    exit /b 2
)
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
start "" /wait "%dest%\prnuninst.exe" /f%model%
exit /b 0
