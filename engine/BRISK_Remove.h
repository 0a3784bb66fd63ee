#pragma once
// The deletion worker: a test or a run over the selected rows of the pattern list.
#include <functional>
#include <string>

#include "engine/RemoveHost.h"

class TRemoveThread {
public:
  // Starts the worker at once. Its first act is a synchronous step, so the creator
  // may assign OnTerminate right after construction.
  static TRemoveThread* Create(TRemoveHost& Host, bool TestRun);

  // Asks the worker to stop at its next check.
  void Terminate();
  bool Terminated() const;

  // Runs on the user-interface thread after Execute has ended (normally, by a stop
  // or by an error); with FreeOnTerminate the worker deletes itself right after.
  std::function<void(TRemoveThread&)> OnTerminate;
  bool FreeOnTerminate = true;

  // The message of the error that ended the run early; empty after a normal end.
  const std::string& ErrorMessage() const { return FErrorMessage; }

  ~TRemoveThread();

private:
  TRemoveThread(TRemoveHost& Host, bool TestRun);
  TRemoveHost& FHost;
  bool FTestRun;
  std::string FErrorMessage;
};
