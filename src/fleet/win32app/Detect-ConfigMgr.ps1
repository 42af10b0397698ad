# Configuration Manager application that removes model @MODEL@, detection.
# Installed (the model is gone): exit 0 and one line on standard output. Not
# installed (something is left, or no prncheck.exe yet): exit 0 and no output.
# Unknown (prncheck.exe cannot tell, or gave another status): exit 1.
param([string]$Folder)
# @include shared.ps1

if (-not (Test-Path -LiteralPath (Join-Path $Folder 'prncheck.exe') -PathType Leaf)) { exit 0 }
$run = Invoke-Tool 'prncheck.exe' '/f@MODEL@'
if ($run.Status -eq 0) {
    'model @MODEL@ removed'
    exit 0
}
if ($run.Status -eq 1) { exit 0 }
exit 1
