# Runs the fleet kit's Pester tests with the Pester that scripts/setup restored;
# with -Prefix and -Build, against the real programs under Wine too.
param([Parameter(Mandatory = $true)][string]$Pester, [string]$Prefix, [string]$Build)
Import-Module $Pester -ErrorAction Stop
$config = New-PesterConfiguration
$config.Run.Container = New-PesterContainer -Path "$PSScriptRoot/Fleet.Tests.ps1" -Data @{ Prefix = $Prefix; Build = $Build }
$config.Run.Exit = $true
# The Wine cases need the prefix and the build; the rest need neither.
if ($Prefix) { $config.Filter.Tag = 'wine' } else { $config.Filter.ExcludeTag = 'wine' }
$config.Output.Verbosity = 'Detailed'
$config.Output.RenderMode = 'Plaintext'
Invoke-Pester -Configuration $config
