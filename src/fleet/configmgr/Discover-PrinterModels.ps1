# Configuration Manager, discovery: the value the rule compares with
# "Compliant". Writes Compliant where nothing is left, "left: <models>" where
# a model is known to be left, and throws (Error, no remediation) where it
# cannot tell.
param([string]$Folder)
# @include shared.ps1

$answer = Read-Models
if ($answer.Left.Count) { 'left: ' + ($answer.Left -join ', ') }
elseif ($answer.Answer -eq 0) { 'Compliant' }
else { throw $answer.Summary }
