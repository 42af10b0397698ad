# Intune Win32 app that removes model @MODEL@, detection: the app is installed
# (the model is gone) only when prncheck.exe /f@MODEL@ exits 0; then one line
# on standard output and exit 0. Anything else: no output, exit 1, and Intune
# runs the install command again.
param([string]$Folder)
# @include shared.ps1

$run = Invoke-Tool 'prncheck.exe' '/f@MODEL@'
if ($run.Status -eq 0) {
    'model @MODEL@ removed'
    exit 0
}
exit 1
