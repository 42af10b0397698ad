function Write-Report($answer) {
    # Remediations keep 2,048 characters of output: the lines that fit, then
    # the one summary line, last.
    $summary = $answer.Summary
    if ($summary.Length -gt 2000) { $summary = $summary.Substring(0, 2000) }
    $room = 2048 - $summary.Length - 2
    foreach ($line in @($answer.Lines) + @($answer.Reasons)) {
        $room -= $line.Length + 2
        if ($room -lt 0) { break }
        $line
    }
    $summary
}
