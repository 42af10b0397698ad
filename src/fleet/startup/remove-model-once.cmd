@echo off
rem A computer startup script: removes model <selector> once, with
rem prnuninst.exe and prncheck.exe from this file's folder (the share).
rem   remove-model-once.cmd <selector>
rem The marker (HKLM\SOFTWARE\@PROGRAMS_FOLDER@, value model<selector>) is
rem written only when prncheck.exe answers 0 after the removal: a model that
rem cannot be told, a crash or a removal that failed is tried again at the
rem next start. prncheck.exe's reasons go to %SystemRoot%\Temp.
rem @include selector.cmd
set "key=HKLM\SOFTWARE\@PROGRAMS_FOLDER@"
set "log=%SystemRoot%\Temp\prncheck-model%model%.log"
reg query "%key%" /v "model%model%" >nul 2>&1
if "%errorlevel%"=="0" exit /b 0
"%~dp0prncheck.exe" /f%model% >nul 2>>"%log%"
set "status=%errorlevel%"
if "%status%"=="1" start "" /wait "%~dp0prnuninst.exe" /f%model%
if not "%status%"=="0" if not "%status%"=="1" exit /b 0
"%~dp0prncheck.exe" /f%model% >nul 2>>"%log%"
if not "%errorlevel%"=="0" exit /b 0
reg add "%key%" /v "model%model%" /t REG_DWORD /d 1 /f >nul
exit /b 0
