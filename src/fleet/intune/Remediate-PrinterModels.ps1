# Intune Remediations, remediation: prnuninst.exe for each model that
# prncheck.exe /a lists as left (never one it cannot tell), then the check
# again. The summary and the exit status (0, 1 or 2, as the detection's) are
# the state after.
param([string]$Folder)
# @include shared.ps1
# @include report.ps1

if (-not (Test-Path -LiteralPath (Join-Path $Folder 'prnuninst.exe') -PathType Leaf)) {
    "cannot remove: no prnuninst.exe in $Folder"
    exit 2
}
foreach ($model in (Read-Models).Left) {
    $null = Invoke-Tool 'prnuninst.exe' "/f$model"
}
$answer = Read-Models
Write-Report $answer
exit $answer.Answer
