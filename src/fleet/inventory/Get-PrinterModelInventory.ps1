# prncheck.exe /a on many computers through PowerShell remoting, one CSV row
# per computer: its status (0, 1, 2, another number, "did not run" or "not
# reached"), the summary, the models left, the lines and the reasons. Run it
# from an administrator's session:
#   .\Get-PrinterModelInventory.ps1 -ComputerList .\computers.txt -Csv .\models-left.csv
# computers.txt: one name a line; blank lines and lines beginning with # are
# skipped. -Folder: where the programs are on each computer (default: where
# install-tools.cmd puts them there).
param(
    [Parameter(Mandatory = $true)][string]$ComputerList,
    [string]$Csv = '.\models-left.csv',
    [string]$Folder
)

$computers = @(Get-Content -LiteralPath $ComputerList -ErrorAction Stop | ForEach-Object { $_.Trim() } |
    Where-Object { $_ -and -not $_.StartsWith('#') })
if (-not $computers.Count) { throw "no computer named in $ComputerList" }

$check = {
    param([string]$Folder)
    # @include shared.ps1

    $answer = Read-Models
    $status = $answer.Status
    if ($null -eq $status) { $status = 'did not run' }
    [pscustomobject]@{
        Status = $status; Summary = $answer.Summary; Models = $answer.Left -join ' '
        Lines = $answer.Lines -join '; '; Reason = $answer.Reasons -join ' '
    }
}

$failed = @()
$results = @(Invoke-Command -ComputerName $computers -ScriptBlock $check -ArgumentList $Folder `
    -ErrorAction SilentlyContinue -ErrorVariable failed)
$rows = foreach ($computer in $computers) {
    $result = $results | Where-Object { $_.PSComputerName -eq $computer } | Select-Object -First 1
    if ($result) {
        [pscustomobject]@{ Computer = $computer; Status = $result.Status; Summary = $result.Summary
            Models = $result.Models; Lines = $result.Lines; Reason = $result.Reason }
    } else {
        $why = @($failed | Where-Object { "$($_.TargetObject)" -eq $computer } | ForEach-Object { "$_" }) -join ' '
        [pscustomobject]@{ Computer = $computer; Status = 'not reached'; Summary = ''; Models = ''; Lines = ''
            Reason = $why }
    }
}
$rows | Export-Csv -LiteralPath $Csv -NoTypeInformation -Encoding UTF8
$rows | Group-Object -Property Status | ForEach-Object { '{0}: {1} computer(s)' -f $_.Name, $_.Count }
