# Intune Remediations, detection: prncheck.exe /a from the programs' folder.
# Exit 1 (remediate) only where a model is known to be left; 0 where nothing
# is; 2 where it cannot tell. The last line of the output is the summary.
param([string]$Folder)
# @include shared.ps1
# @include report.ps1

$answer = Read-Models
Write-Report $answer
exit $answer.Answer
