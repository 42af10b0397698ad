rem Each step on its own line, with its status tested after it: Wine 8's cmd
rem runs the command after "||" even when the first one succeeds.
if not exist "%dest%\" mkdir "%dest%"
if not exist "%dest%\" exit /b 1
copy /b /y "%~dp0prnuninst.exe" "%dest%\prnuninst.exe" >nul
if errorlevel 1 exit /b 1
copy /b /y "%~dp0prncheck.exe" "%dest%\prncheck.exe" >nul
if errorlevel 1 exit /b 1
