# Configuration Manager application that removes model 3, detection.
# Installed (the model is gone): exit 0 and one line on standard output. Not
# installed (something is left, or no prncheck.exe yet): exit 0 and no output.
# Unknown (prncheck.exe cannot tell, or gave another status): exit 1.
param([string]$Folder)
# Where install-tools.cmd puts both programs: the 64-bit Program Files, from a
# 32-bit and a 64-bit PowerShell alike (ProgramW6432 is unset on 32-bit Windows).
if (-not $Folder) {
    $base = $env:ProgramW6432
    if (-not $base) { $base = $env:ProgramFiles }
    $Folder = Join-Path $base 'Example\prnuninst'
}

function Invoke-Tool([string]$Name, [string]$Argument) {
    # Runs one of the two programs from $Folder. Its lines come back through
    # files of this run's own names, read as UTF-8, and the files go whatever
    # happens. Status stays $null where the program gave none.
    $run = [pscustomobject]@{ Status = $null; Lines = @(); Reasons = @() }
    $exe = Join-Path $Folder $Name
    if (-not (Test-Path -LiteralPath $exe -PathType Leaf)) {
        $run.Reasons = @("no $Name in $Folder")
        return $run
    }
    $stem = Join-Path ([System.IO.Path]::GetTempPath()) ('prnuninst-' + [guid]::NewGuid().ToString('N'))
    try {
        $p = Start-Process -FilePath $exe -ArgumentList $Argument -NoNewWindow -Wait -PassThru `
            -RedirectStandardOutput "$stem.out" -RedirectStandardError "$stem.err" -ErrorAction Stop
        $run.Status = $p.ExitCode
        $run.Lines = @(Get-Content -LiteralPath "$stem.out" -Encoding UTF8 -ErrorAction Stop)
        $run.Reasons = @(Get-Content -LiteralPath "$stem.err" -Encoding UTF8 -ErrorAction Stop)
    } catch {
        # Not started, or its answer not read whole: no status to go by.
        $run.Status = $null
        $run.Reasons = @("${Name}: $($_.Exception.Message)")
    } finally {
        Remove-Item -LiteralPath "$stem.out", "$stem.err" -Force -ErrorAction SilentlyContinue
    }
    $run
}

function Read-Models {
    # prncheck.exe /a, read. Left: the models known to be left, each a single
    # ASCII letter or digit. Unknown: those it could not tell, never in Left,
    # so never removed blind. Whole: why nothing at all can be told (no status,
    # or one that is not 0, 1 or 2, such as a crash's).
    $run = Invoke-Tool 'prncheck.exe' '/a'
    $unknown = @()
    foreach ($reason in $run.Reasons) {
        if ($reason -cmatch '^prncheck: model ([A-Za-z0-9]):' -and $unknown -cnotcontains $Matches[1]) {
            $unknown += $Matches[1]
        }
    }
    $left = @()
    $whole = ''
    $told = ($run.Reasons | Where-Object { $_ -cnotmatch '^prncheck: model [A-Za-z0-9]:' }) -join ' '
    if ($null -eq $run.Status) {
        $whole = 'prncheck.exe gave no exit status'
        if ($run.Reasons.Count) { $whole = $run.Reasons -join ' ' }
    } elseif ($run.Status -ne 0 -and $run.Status -ne 1 -and $run.Status -ne 2) {
        $whole = "prncheck.exe ended with status $($run.Status)"
        if ($run.Reasons.Count) { $whole += ': ' + ($run.Reasons -join ' ') }
    } elseif ($run.Status -eq 2 -and ($told -or -not $unknown.Count)) {
        $whole = $told
        if (-not $whole) { $whole = 'prncheck.exe ended with status 2 and no reason' }
    } elseif ($run.Status -ne 0) {
        foreach ($line in $run.Lines) {
            $s = ($line -split ' ', 2)[0]
            if ($s -cmatch '^[A-Za-z0-9]$' -and $unknown -cnotcontains $s -and $left -cnotcontains $s) { $left += $s }
        }
        if ($run.Status -eq 1 -and -not $left.Count) { $whole = 'prncheck.exe ended with status 1 and no model named' }
    }
    if ($whole) { $left = @() }
    $parts = @()
    if ($left.Count) {
        $theirs = @($run.Lines | Where-Object { $left -ccontains ($_ -split ' ', 2)[0] })
        $parts += 'left: {0} ({1} lines)' -f ($left -join ', '), $theirs.Count
    }
    if ($unknown.Count -and -not $whole) { $parts += 'cannot tell: ' + ($unknown -join ', ') }
    if ($whole) { $parts += "cannot tell: $whole" }
    if (-not $parts) { $parts = @('nothing left') }
    # Answer: 1 where a model is known to be left, 0 only where prncheck.exe
    # said so, 2 for everything else.
    $answer = 2
    if ($left.Count) { $answer = 1 } elseif ($run.Status -eq 0 -and -not $whole) { $answer = 0 }
    [pscustomobject]@{
        Status = $run.Status; Lines = $run.Lines; Reasons = $run.Reasons
        Left = $left; Unknown = $unknown; Whole = $whole; Answer = $answer; Summary = $parts -join '; '
    }
}

if (-not (Test-Path -LiteralPath (Join-Path $Folder 'prncheck.exe') -PathType Leaf)) { exit 0 }
$run = Invoke-Tool 'prncheck.exe' '/f3'
if ($run.Status -eq 0) {
    'model 3 removed'
    exit 0
}
if ($run.Status -eq 1) { exit 0 }
exit 1
