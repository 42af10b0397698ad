; An installer that removes printer model 4 with prnuninst.exe and then starts
; your setup program. Copy what you need into your own script.
;
;   makensis -DPRNUNINST=path\to\prnuninst.exe remove-model.nsi
;
; Defines (makensis -DNAME=VALUE):
;   PRNUNINST  the prnuninst.exe to ship (required)
;   SETUP      the absolute path of your setup program
;              (default: setup.exe in the folder this installer runs from)
;   TARGET     x86-unicode (default): around the 32-bit prnuninst.exe, the one
;              to ship; amd64-unicode: around a 64-bit build, to try under wine64
;   CHAIN      when defined, prnuninst.exe starts SETUP itself (see below)
;   OUTFILE    the installer to write (default: remove-model.exe)

Unicode true
!include LogicLib.nsh

!ifndef PRNUNINST
  !error "give the prnuninst.exe to ship: makensis -DPRNUNINST=path\to\prnuninst.exe"
!endif
!ifndef SETUP
  !define SETUP "$EXEDIR\setup.exe"
!endif
!ifndef TARGET
  !define TARGET x86-unicode
!endif
!ifndef OUTFILE
  !define OUTFILE remove-model.exe
!endif

Target ${TARGET}
OutFile "${OUTFILE}"
Name "Remove printer model 4"
; prnuninst.exe deletes keys under HKEY_LOCAL_MACHINE and asks the print
; spooler to delete a queue. Without administrator rights every deletion
; fails, and it reports nothing.
RequestExecutionLevel admin
Page instfiles

Section
  ; $PLUGINSDIR is a new folder of this installer's own, deleted when it ends:
  ; nothing is left behind, and nothing else lies beside prnuninst.exe.
  ; prnuninst.exe takes its DLLs from the system folder only, on every Windows
  ; version. But whoever can write the folder it runs from can still replace
  ; it before it starts, or redirect its DLLs with a prnuninst.exe.local file
  ; where Windows honours one: where you can, unpack it into a fresh folder
  ; that only administrators can write (under $PROGRAMFILES, say).
  InitPluginsDir
  File "/oname=$PLUGINSDIR\prnuninst.exe" "${PRNUNINST}"

  ; The quotes keep a path with blanks whole. The exit status is 0 whatever was
  ; removed: it tells only that prnuninst.exe ran. The error flag tells that it
  ; could not be started at all. To know whether the model is gone, read its
  ; keys afterwards.
  ClearErrors
!ifndef CHAIN
  ; Recommended: remove the model and wait for that, then start your setup
  ; yourself (below), so that this installer waits for the setup and sees its
  ; status.
  ExecWait '"$PLUGINSDIR\prnuninst.exe" /f4' $0
!else
  ; Chained, for callers that can start only one program: prnuninst.exe starts
  ; the setup once the model is removed, and does not wait for it. Put the
  ; setup's absolute path, quoted, right after the selector: a blank there
  ; would be passed on, and a relative path is looked up in $PLUGINSDIR first.
  ; Keep the setup out of $PLUGINSDIR, which goes when this installer ends,
  ; possibly while the setup still runs.
  ExecWait '"$PLUGINSDIR\prnuninst.exe" /f4"${SETUP}" /quiet' $0
!endif
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "prnuninst.exe could not be started"
  ${EndIf}
!ifndef CHAIN
  ExecWait '"${SETUP}" /quiet' $0
!endif
  SetErrorLevel $0
SectionEnd
