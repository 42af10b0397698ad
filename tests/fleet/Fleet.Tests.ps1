# The fleet kit's scripts, as deployed (examples/fleet), run by PowerShell:
# against stand-ins (standin.sh) for what Wine cannot show, and, given a Wine
# prefix and the win64 build of models/example-modern.toml, against the real
# programs on a seeded machine, through shims that start them under Wine.
param([string]$Prefix, [string]$Build)

BeforeDiscovery {
    $Wine = [bool]$Prefix
    $Scripts = Get-ChildItem -LiteralPath "$PSScriptRoot/../../examples/fleet" -Recurse -File -Filter *.ps1 |
        ForEach-Object { @{ Name = $_.Name; Path = $_.FullName } }
}

BeforeAll {
    $Kit = (Resolve-Path "$PSScriptRoot/../../examples/fleet").Path
    $Standin = "$PSScriptRoot/standin.sh"

    # A programs' folder of stand-ins: prncheck.exe answers in turn as Check
    # gives (one array of standin.sh lines a run), prnuninst.exe as Uninst.
    function New-Folder([object[]]$Check = @(), [string[]]$Uninst = @(), [string[]]$Missing = @()) {
        $folder = Join-Path $TestDrive ([guid]::NewGuid().ToString('N'))
        $null = New-Item -ItemType Directory $folder
        foreach ($name in 'prncheck.exe', 'prnuninst.exe') {
            if ($Missing -notcontains $name) { Copy-Item $Standin "$folder/$name" }
        }
        for ($n = 0; $n -lt $Check.Count; $n++) { Set-Content "$folder/prncheck.exe.$($n + 1)" $Check[$n] }
        Set-Content "$folder/prnuninst.exe.answer" $Uninst
        $folder
    }

    # Runs a kit script in this session (so that a mock reaches it): its exit
    # status, its output and what it threw.
    function Invoke-Kit([string]$Script, [hashtable]$With) {
        $global:LASTEXITCODE = 0
        $thrown = ''
        $output = @()
        try { $output = @(& "$Kit/$Script" @With) } catch { $thrown = "$_" }
        [pscustomobject]@{ Status = $LASTEXITCODE; Output = $output; Thrown = $thrown }
    }

    function Get-Removed($folder) { @(Get-Content "$folder/prnuninst.exe.log" -ErrorAction SilentlyContinue) }
}

Describe 'every deployed script' {
    It '<Name> parses in Windows PowerShell 5.1 too: no syntax of PowerShell 7 alone' -ForEach $Scripts {
        $tokens = $errors = $null
        $tree = [System.Management.Automation.Language.Parser]::ParseFile($Path, [ref]$tokens, [ref]$errors)
        $errors | Should -BeNullOrEmpty
        $newer = $tree.FindAll({
            param($node)
            $node -is [System.Management.Automation.Language.TernaryExpressionAst] -or
            $node -is [System.Management.Automation.Language.PipelineChainAst] -or
            ($node -is [System.Management.Automation.Language.BinaryExpressionAst] -and
                "$($node.Operator)" -eq 'QuestionQuestion') -or
            ($node -is [System.Management.Automation.Language.AssignmentStatementAst] -and
                "$($node.Operator)" -eq 'QuestionQuestionEquals') -or
            ($node -is [System.Management.Automation.Language.MemberExpressionAst] -and $node.NullConditional) -or
            ($node -is [System.Management.Automation.Language.IndexExpressionAst] -and $node.NullConditional) -or
            ($node -is [System.Management.Automation.Language.CommandParameterAst] -and
                $node.ParameterName -eq 'Parallel') -or
            ($node -is [System.Management.Automation.Language.NamedBlockAst] -and "$($node.BlockKind)" -eq 'Clean')
        }, $true)
        @($newer | ForEach-Object { "$($_.Extent.StartLineNumber): $($_.Extent.Text)" }) | Should -BeNullOrEmpty
        $bytes = [System.IO.File]::ReadAllBytes($Path)
        @($bytes | Where-Object { $_ -gt 0x7E -or ($_ -lt 0x20 -and $_ -notin 9, 10, 13) }) | Should -BeNullOrEmpty
        [System.Text.Encoding]::ASCII.GetString($bytes) -split "`r`n" | Where-Object { $_ -match "`n" } |
            Should -BeNullOrEmpty
    }
}

Describe 'against stand-ins' {
    BeforeEach {
        # Temporary files must all go, whatever a run does.
        $env:TMPDIR = Join-Path $TestDrive ([guid]::NewGuid().ToString('N'))
        $null = New-Item -ItemType Directory $env:TMPDIR
    }
    AfterEach {
        @(Get-ChildItem -LiteralPath $env:TMPDIR) | Should -BeNullOrEmpty
    }

    It '<Case>' -ForEach @(
        @{ Case = 'a model it cannot tell is not left: the remediation removes only the others'
           Script = 'intune/Remediate-PrinterModels.ps1'; Removed = '/f4'; Status = 2; Last = 'cannot tell: K'
           Check = @(@('out 4 queue Pelnora 7100 PCL5e', 'out K queue Korvel', 'err prncheck: model K: spooler stopped',
                       'status 2'), @('out K queue Korvel', 'err prncheck: model K: spooler stopped', 'status 2')) }
        @{ Case = 'beside a model that is left, the detection asks for its removal'
           Script = 'intune/Detect-PrinterModels.ps1'; Status = 1; Last = 'left: 4 (1 lines); cannot tell: K'
           Check = @(, @('out 4 queue Pelnora 7100 PCL5e', 'out K queue Korvel', 'err prncheck: model K: stopped',
                         'status 2')) }
        @{ Case = 'alone, a model it cannot tell gives 2'
           Script = 'intune/Detect-PrinterModels.ps1'; Status = 2; Last = 'cannot tell: K'
           Check = @(, @('out K queue Korvel', 'err prncheck: model K: stopped', 'status 2')) }
        @{ Case = 'a crash of prncheck.exe is cannot tell, with its status'
           Script = 'intune/Detect-PrinterModels.ps1'; Status = 2
           Last = 'cannot tell: prncheck.exe ended with status 139'
           Check = @(, @('out 4 queue Pelnora 7100 PCL5e', 'crash')) }
        @{ Case = 'another status is cannot tell, with the status, in the discovery too'
           Script = 'configmgr/Discover-PrinterModels.ps1'
           Thrown = 'cannot tell: prncheck.exe ended with status 3: prncheck: what'
           Check = @(, @('out 4 queue Pelnora 7100 PCL5e', 'err prncheck: what', 'status 3')) }
        @{ Case = 'no exit status ($null, as PowerShell 7.4.0 gives) is cannot tell, and no removal'
           Script = 'intune/Remediate-PrinterModels.ps1'; Status = 2; NoStatus = $true
           Last = 'cannot tell: prncheck.exe gave no exit status' }
        @{ Case = 'an answer that cannot be read is cannot tell, and its files go'
           Script = 'intune/Detect-PrinterModels.ps1'; Status = 2; Unreadable = $true
           Last = 'cannot tell: prncheck.exe: unreadable'; Check = @(, @('out 4 queue Pelnora', 'status 1')) }
        @{ Case = 'slow removals: none starts without time for it and the check, within -Seconds'
           Script = 'configmgr/Remediate-PrinterModels.ps1'; With = @{ Seconds = 14 }; Uninst = @('sleep 3')
           Removed = '/f4'; Thrown = 'left: K, P (2 lines); out of time before K, P: the next evaluation goes on'
           Check = @(@('out 4 queue Pelnora', 'out K queue Korvel', 'out P queue Pelnora 7100 PCL6', 'status 1'),
                     @('out K queue Korvel', 'out P queue Pelnora 7100 PCL6', 'status 1')) }
        @{ Case = 'only a single ASCII letter or digit is passed as a selector'
           Script = 'intune/Remediate-PrinterModels.ps1'; Removed = '/fP'; Status = 0; Last = 'nothing left'
           Check = @(@('out 44 queue x', "out $([char]0xE9) key y", 'out 4; key z', 'out P queue p', 'status 1'),
                     @('status 0')) }
        @{ Case = 'the output keeps within 2,048 characters, the summary last'
           Script = 'intune/Detect-PrinterModels.ps1'; Status = 1; Last = 'left: 4 (80 lines)'
           Check = @(, (@(1..80 | ForEach-Object { "out 4 key HKLM\SOFTWARE\Pelnora\Printers\7100 PCL6\Key $_" }) +
                        'status 1')) }
        @{ Case = 'no prncheck.exe: cannot tell, where'
           Script = 'intune/Detect-PrinterModels.ps1'; Missing = 'prncheck.exe'; Status = 2
           Last = 'cannot tell: no prncheck.exe in *' }
        @{ Case = 'no prnuninst.exe: the Remediations remediation says so'
           Script = 'intune/Remediate-PrinterModels.ps1'; Missing = 'prnuninst.exe'; Status = 2
           Last = 'cannot remove: no prnuninst.exe in *' }
        @{ Case = 'no prnuninst.exe: the configuration item remediation throws'
           Script = 'configmgr/Remediate-PrinterModels.ps1'; Missing = 'prnuninst.exe'
           Thrown = 'cannot remove: no prnuninst.exe in *' }
        @{ Case = 'Win32 app, Intune: detected only on 0'
           Script = 'win32app/Detect-Model4-Intune.ps1'; Status = 0; Last = 'model 4 removed'
           Check = @(, @('status 0')) }
        @{ Case = 'Win32 app, Intune: a crash is not detected'
           Script = 'win32app/Detect-Model4-Intune.ps1'; Status = 1; Check = @(, @('crash')) }
        @{ Case = 'Win32 app, Configuration Manager: 1 is Not installed'
           Script = 'win32app/Detect-Model4-ConfigMgr.ps1'; Status = 0; Check = @(, @('out queue Pelnora', 'status 1')) }
        @{ Case = 'Win32 app, Configuration Manager: 2 is Unknown'
           Script = 'win32app/Detect-Model4-ConfigMgr.ps1'; Status = 1; Check = @(, @('status 2')) }
        @{ Case = 'Win32 app, Configuration Manager: no prncheck.exe yet is Not installed'
           Script = 'win32app/Detect-Model4-ConfigMgr.ps1'; Status = 0; Missing = 'prncheck.exe' }
    ) {
        $folder = New-Folder -Check $Check -Uninst $Uninst -Missing $Missing
        if ($NoStatus) {
            Mock Start-Process {
                $null = New-Item -ItemType File $RedirectStandardOutput, $RedirectStandardError
                [pscustomobject]@{ ExitCode = $null }
            }
        }
        if ($Unreadable) { Mock Get-Content -ParameterFilter { "$LiteralPath" -like '*.out' } { throw 'unreadable' } }
        $started = Get-Date
        $parameters = @{ Folder = $folder }
        if ($With) { $parameters += $With }
        $run = Invoke-Kit $Script $parameters
        $run.Thrown | Should -BeLike $(if ($Thrown) { $Thrown } else { '' })
        if (-not $Thrown) { $run.Status | Should -Be $Status }
        if ($Last) { $run.Output[-1] | Should -BeLike $Last } else { $run.Output | Should -BeNullOrEmpty }
        ($run.Output | Measure-Object -Property Length -Sum).Sum + 2 * $run.Output.Count | Should -BeLessOrEqual 2048
        Get-Removed $folder | Should -Be $Removed
        if ($With.Seconds) { ((Get-Date) - $started).TotalSeconds | Should -BeLessThan $With.Seconds }
    }

    It 'the inventory: a row per computer named, blank lines and comments skipped, <Case>' -ForEach @(
        @{ Case = 'the models left'; Check = @('out 4 queue Pelnora', 'out P queue Pelnora 7100 PCL6', 'status 1')
           Expect = '1', 'left: 4, P (2 lines)', '4 P' }
        @{ Case = 'no prncheck.exe: did not run, and why'; Missing = 'prncheck.exe'; Expect = 'did not run', '*', '' }
    ) {
        $folder = New-Folder -Check @(@($Check), @($Check)) -Missing $Missing
        Set-Content "$TestDrive/computers.txt" '', '# the print room', '  PC1  ', '', 'PC2', 'OFF1'
        # Only the remoting is not run: the script block runs here, as on each computer reached.
        Mock Invoke-Command {
            foreach ($name in $ComputerName | Where-Object { $_ -ne 'OFF1' }) {
                & $ScriptBlock @ArgumentList | Add-Member -NotePropertyName PSComputerName -NotePropertyValue $name -PassThru
            }
        }
        $null = Invoke-Kit 'inventory/Get-PrinterModelInventory.ps1' @{
            ComputerList = "$TestDrive/computers.txt"; Csv = "$TestDrive/inventory.csv"; Folder = $folder }
        $rows = @(Import-Csv "$TestDrive/inventory.csv")
        $rows.Computer | Should -Be 'PC1', 'PC2', 'OFF1'
        foreach ($row in $rows[0..1]) {
            $row.Status | Should -Be $Expect[0]
            $row.Summary | Should -BeLike $Expect[1]
            $row.Models | Should -Be $Expect[2]
        }
        if ($Missing) { $rows[0].Reason | Should -BeLike "no prncheck.exe in *" }
        $rows[2].Status | Should -Be 'not reached'
    }
}

Describe 'on a seeded Wine machine, with models/example-modern.toml' -Tag wine {
    BeforeAll {
        $wineSh = (Resolve-Path "$PSScriptRoot/../e2e/wine.sh").Path
        # The exit status only; what the program writes goes to the log.
        function Invoke-Wine { & $wineSh run $Prefix C.UTF-8 @args | Out-Host; $LASTEXITCODE }
        function Reset-Machine { Invoke-Wine "$Build/e2e/e2e_tests.exe" seed | Should -Be 0 }
        # pwsh on Linux starts a file by its exec bit: shims named as the
        # programs start them under Wine.
        $shims = Join-Path $TestDrive 'shims'
        $null = New-Item -ItemType Directory $shims
        foreach ($name in 'prncheck.exe', 'prnuninst.exe') {
            [System.IO.File]::WriteAllText("$shims/$name", "#!/bin/sh`nexec '$wineSh' run '$Prefix' C.UTF-8 '$Build/$name' `"`$@`"`n")
            chmod +x "$shims/$name"
        }
        # The batch files, each beside the real programs, as a package or a share holds them.
        $share = "$Prefix/drive_c/fleet"
        $null = New-Item -ItemType Directory $share -Force
        Copy-Item "$Kit/install-tools.cmd", "$Kit/uninstall-tools.cmd", "$Kit/win32app/install.cmd",
            "$Kit/startup/remove-model-once.cmd", "$Build/prncheck.exe", "$Build/prnuninst.exe" $share
        $installed = "$Prefix/drive_c/Program Files/Example/prnuninst"
    }

    It 'Remediations: the detection finds what is left, the remediation removes it, the detection then answers 0' {
        Reset-Machine
        $run = Invoke-Kit 'intune/Detect-PrinterModels.ps1' @{ Folder = $shims }
        $run.Status, $run.Output[-1] | Should -Be 1, 'left: 4, K, P (30 lines)'
        $run = Invoke-Kit 'intune/Remediate-PrinterModels.ps1' @{ Folder = $shims }
        $run.Status, $run.Output[-1] | Should -Be 0, 'nothing left'
        $run = Invoke-Kit 'intune/Detect-PrinterModels.ps1' @{ Folder = $shims }
        $run.Status, $run.Output[-1] | Should -Be 0, 'nothing left'
    }

    It 'configuration item: the discovery answers Compliant after the remediation' {
        Reset-Machine
        (Invoke-Kit 'configmgr/Discover-PrinterModels.ps1' @{ Folder = $shims }).Output | Should -Be 'left: 4, K, P'
        (Invoke-Kit 'configmgr/Remediate-PrinterModels.ps1' @{ Folder = $shims }).Thrown | Should -Be ''
        (Invoke-Kit 'configmgr/Discover-PrinterModels.ps1' @{ Folder = $shims }).Output | Should -Be 'Compliant'
    }

    It "the inventory's part for each computer, run here" {
        Reset-Machine
        Set-Content "$TestDrive/here.txt" 'HERE'
        Mock Invoke-Command { & $ScriptBlock @ArgumentList | Add-Member PSComputerName 'HERE' -PassThru }
        $null = Invoke-Kit 'inventory/Get-PrinterModelInventory.ps1' @{
            ComputerList = "$TestDrive/here.txt"; Csv = "$TestDrive/here.csv"; Folder = $shims }
        $row = Import-Csv "$TestDrive/here.csv"
        $row.Status, $row.Models, $row.Summary | Should -Be '1', '4 K P', 'left: 4, K, P (30 lines)'
    }

    It "install-tools.cmd puts both programs under Program Files, uninstall-tools.cmd takes them away" {
        Invoke-Wine cmd /c 'C:\fleet\install-tools.cmd' | Should -Be 0
        foreach ($name in 'prncheck.exe', 'prnuninst.exe') {
            (Get-FileHash "$installed/$name").Hash | Should -Be (Get-FileHash "$Build/$name").Hash
        }
        Invoke-Wine cmd /c 'C:\fleet\uninstall-tools.cmd' | Should -Be 0
        Test-Path -LiteralPath $installed | Should -BeFalse
    }

    It "the Win32 app's install command removes the model with the copy it installed; a bad selector, nothing" {
        Reset-Machine
        Invoke-Wine cmd /c 'C:\fleet\install.cmd' '4x' | Should -Be 2
        Invoke-Wine "$Build/e2e/e2e_tests.exe" expect none | Should -Be 0
        Invoke-Wine cmd /c 'C:\fleet\install.cmd' 4 | Should -Be 0
        Invoke-Wine "$Build/e2e/e2e_tests.exe" expect 4 | Should -Be 0
        $run = Invoke-Kit 'win32app/Detect-Model4-Intune.ps1' @{ Folder = $shims }
        $run.Status, $run.Output | Should -Be 0, 'model 4 removed'
        $null = Invoke-Wine cmd /c 'C:\fleet\uninstall-tools.cmd'
    }

    It 'the startup script marks the model done only on status 0: <Case>' -ForEach @(
        @{ Case = 'removed'; Model = '4'; Marked = 0; Gone = '4' }
        @{ Case = 'a crash of prncheck.exe'; Model = '4'; Crash = $true; Marked = 1; Gone = 'none' }
        @{ Case = 'a model it cannot tell (none has that selector)'; Model = 'Z'; Marked = 1; Gone = 'none' }
    ) {
        Reset-Machine
        $null = Invoke-Wine reg delete 'HKLM\SOFTWARE\Example\prnuninst' /f
        if ($Crash) {
            Copy-Item "$Build/e2e/followon.exe" "$share/prncheck.exe"
            $env:PRNUNINST_FOLLOWON_STATUS = '-1073741819'
        }
        try { Invoke-Wine cmd /c 'C:\fleet\remove-model-once.cmd' $Model | Should -Be 0 }
        finally {
            Remove-Item Env:PRNUNINST_FOLLOWON_STATUS -ErrorAction SilentlyContinue
            Copy-Item "$Build/prncheck.exe" "$share/prncheck.exe"
        }
        Invoke-Wine reg query 'HKLM\SOFTWARE\Example\prnuninst' /v "model$Model" | Should -Be $Marked
        Invoke-Wine "$Build/e2e/e2e_tests.exe" expect $Gone | Should -Be 0
    }
}
