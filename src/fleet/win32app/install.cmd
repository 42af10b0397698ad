@echo off
rem Install command of the Win32 app (Intune) or application (Configuration
rem Manager) that removes one model:
rem   install.cmd <selector>
rem Puts both programs, from this file's folder, into the programs' folder
rem under Program Files, then removes the model with the copy there. Exit 0
rem (prnuninst.exe always exits 0: the detection script tells whether the
rem model is gone); 1 when the programs could not be put there; 2 for a
rem selector that is not one ASCII letter or digit.
rem @include selector.cmd
rem @include folder.cmd
rem @include copy.cmd
start "" /wait "%dest%\prnuninst.exe" /f%model%
exit /b 0
