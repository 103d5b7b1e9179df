/* wine 8's exit race without GoogleTest: a program that starts a thread just before it returns from
 * main, as GoogleTest does on Windows the first time a test uses its thread-local storage (a watcher
 * thread that waits for the test thread's end). Now and then the wine process dies by SIGSEGV after the
 * program's last line (status 139), in wine's own code: the thread, still starting, is stopped while
 * the process exits. run.sh counts it. */
#include <stdio.h>
#include <windows.h>

static DWORD WINAPI watcher(LPVOID handle) {
  WaitForSingleObject((HANDLE)handle, INFINITE);
  return 0;
}

int main(void) {
  HANDLE self = OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
  HANDLE thread = CreateThread(NULL, 0, watcher, self, 0, NULL);
  printf(thread != NULL ? "[  PASSED  ] 1 test.\n" : "no thread\n");
  return thread != NULL ? 0 : 1;
}
