# Configuration Manager, remediation: prnuninst.exe for each model that
# prncheck.exe /a lists as left, while there is time; then the check again,
# which throws unless nothing is left. The client stops a script after 60 s by
# default: a removal may wait about 10 s for a driver in use, and
# Start-Process -Wait in Windows PowerShell 5.1 adds up to 1 s, so a removal
# starts only while 12 s and a check's time remain within -Seconds. The next
# evaluation removes the rest.
param([string]$Folder, [double]$Seconds = 50)
# @include shared.ps1

$clock = [System.Diagnostics.Stopwatch]::StartNew()
if (-not (Test-Path -LiteralPath (Join-Path $Folder 'prnuninst.exe') -PathType Leaf)) {
    throw "cannot remove: no prnuninst.exe in $Folder"
}
$before = Read-Models
$check = $clock.Elapsed.TotalSeconds
$later = @()
foreach ($model in $before.Left) {
    if ($Seconds - $clock.Elapsed.TotalSeconds -lt 12 + $check) { $later += $model; continue }
    $null = Invoke-Tool 'prnuninst.exe' "/f$model"
}
$after = Read-Models
if ($after.Answer -ne 0) {
    $message = $after.Summary
    if ($later.Count) { $message += '; out of time before ' + ($later -join ', ') + ': the next evaluation goes on' }
    throw $message
}
