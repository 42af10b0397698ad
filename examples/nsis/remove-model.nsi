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
;   UNPACKDIR  the folder prnuninst.exe is unpacked into and run from
;              (default: $PROGRAMFILES\Remove printer model)
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
!ifndef UNPACKDIR
  !define UNPACKDIR "$PROGRAMFILES\Remove printer model"
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
  ; A folder under Program Files, which only administrators can write, and
  ; not $PLUGINSDIR under the user's %TEMP%. An elevated NSIS 3 installer
  ; restricts $PLUGINSDIR to administrators, but before NSIS 3.11 the user's
  ; own unelevated programs could get in while it was being made (a race), and
  ; replace prnuninst.exe or put a prnuninst.exe.local beside it. Program Files
  ; does not depend on the NSIS version that builds this. The folder and the
  ; file are removed below.
  CreateDirectory "${UNPACKDIR}"
  File "/oname=${UNPACKDIR}\prnuninst.exe" "${PRNUNINST}"

  ; The quotes keep a path with blanks whole. The exit status is 0 whatever was
  ; removed: it tells only that prnuninst.exe ran. The error flag tells that it
  ; could not be started at all. To know whether the model is gone, read its
  ; keys afterwards.
  ClearErrors
!ifndef CHAIN
  ; Recommended: remove the model and wait for that, then start your setup
  ; yourself (below), so that this installer waits for the setup and sees its
  ; status.
  ExecWait '"${UNPACKDIR}\prnuninst.exe" /f4' $0
!else
  ; Chained, for callers that can start only one program: prnuninst.exe starts
  ; the setup once the model is removed, and does not wait for it to finish.
  ; It does wait until the setup is ready for input (it shows its first window
  ; and reads its messages) or a time-out passes (30 s under Wine), so this
  ; ExecWait may wait that long. Put the setup's absolute path, quoted, right
  ; after the selector: a blank there would be passed on, and a relative path
  ; is looked up beside prnuninst.exe first. Keep the setup out of UNPACKDIR,
  ; which is emptied below, possibly while the setup still runs.
  ExecWait '"${UNPACKDIR}\prnuninst.exe" /f4"${SETUP}" /quiet' $0
!endif
  StrCpy $1 started
  ${If} ${Errors}
    StrCpy $1 failed
  ${EndIf}
  Delete "${UNPACKDIR}\prnuninst.exe"
  RMDir "${UNPACKDIR}"  ; only when empty: a folder of yours that was there stays
  ${If} $1 == failed
    SetErrorLevel 2
    Abort "prnuninst.exe could not be started"
  ${EndIf}
!ifndef CHAIN
  ExecWait '"${SETUP}" /quiet' $0
!endif
  SetErrorLevel $0
SectionEnd
