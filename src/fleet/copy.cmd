if not exist "%dest%\" mkdir "%dest%" || exit /b 1
copy /b /y "%~dp0prnuninst.exe" "%dest%\prnuninst.exe" >nul || exit /b 1
copy /b /y "%~dp0prncheck.exe" "%dest%\prncheck.exe" >nul || exit /b 1
