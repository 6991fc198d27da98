@echo off
rem Runs the Windows unit and end-to-end tests of a folder of built files, as
rem the build lays it out (build\<preset>\windows-tests), one line per test:
rem
rem   run_windows_tests.cmd FOLDER
rem
rem FOLDER\windows_tests.txt lists the tests, one a line:
rem   NAME|WORKING FOLDER|COMMAND LINE[|VARIABLE=VALUE...]
rem with the working folder relative to FOLDER and %%ROOT%% standing for FOLDER
rem in the command line and the values. Each test runs in its working folder
rem with its variables set, its output going to FOLDER\logs\NAME.log; the logs
rem of the tests that failed are shown after the last test. Exits 0 when every
rem test passed, 1 when any failed, 2 when FOLDER lists no test.
setlocal EnableExtensions DisableDelayedExpansion
if "%~1"=="" goto usage
set "ROOT=%~f1"
if not exist "%ROOT%\windows_tests.txt" goto no_list
if not exist "%ROOT%\logs\" mkdir "%ROOT%\logs"
set /a passed=0, failed=0
set "failures="
for /f "usebackq eol=# tokens=1-3,* delims=|" %%a in ("%ROOT%\windows_tests.txt") do (
  set "name=%%a"
  set "folder=%%b"
  set "command=%%c"
  set "variables=%%d"
  call :run
)
set /a total=passed + failed
if %total%==0 goto no_list
for %%n in (%failures%) do call :show_log %%n
echo %passed% passed, %failed% failed
if %failed% GTR 0 exit /b 1
exit /b 0

:usage
echo usage: run_windows_tests.cmd FOLDER
exit /b 2

:no_list
echo run_windows_tests: "%ROOT%" lists no test in windows_tests.txt: give the folder the build lays out, build\^<preset^>\windows-tests
exit /b 2

rem Runs the test named by name, folder, command and variables, and counts it.
:run
setlocal
set "log=%ROOT%\logs\%name%.log"
:set_variable
if not defined variables goto start
rem The second expansion by call puts the folder in place of %%ROOT%%.
for /f "tokens=1,* delims=|" %%v in ("%variables%") do (
  call set "%%v"
  set "variables=%%w"
)
goto set_variable
:start
call set "command=%command%"
if not exist "%ROOT%\%folder%\" mkdir "%ROOT%\%folder%"
pushd "%ROOT%\%folder%"
rem Not through call, after which Wine's cmd.exe reported 1 for a program that
rem ended with an exception.
%command% >"%log%" 2>&1
set "code=%errorlevel%"
popd
if "%code%"=="0" (echo passed  %name%) else call :report_failure
endlocal & set "code=%code%"
if "%code%"=="0" (set /a passed+=1) else (set /a failed+=1 & set "failures=%failures% %name%")
goto :eof

rem Prints the failed test's line: its exit code, or the exception that ended it
rem (0xC0000000 and up, which cmd.exe shows as a negative number).
:report_failure
if %code% GEQ 0 goto exit_code
if %code% LSS -1073741824 goto exit_code
call :hex %code%
echo FAILED  %name% (exception 0x%hex%)
goto :eof
:exit_code
echo FAILED  %name% (exit code %code%)
goto :eof

rem Sets hex to the eight hexadecimal digits of the 32-bit number given.
:hex
set "hex="
set /a "rest=%1"
for /l %%i in (1,1,8) do call :hex_digit
goto :eof
:hex_digit
set /a "digit=rest & 15, rest=(rest >> 4) & 0x0FFFFFFF"
set "digits=0123456789ABCDEF"
call set "hex=%%digits:~%digit%,1%%%hex%"
goto :eof

:show_log
echo ----- %1: logs\%1.log
type "%ROOT%\logs\%1.log"
goto :eof
