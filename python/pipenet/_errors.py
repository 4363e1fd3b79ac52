"""The exceptions of pipenet."""


class PipenetError(Exception):
    """Base of pipenet's exceptions."""


class ReadError(PipenetError, ValueError):
    """A file or text that does not hold a network: `file` and the reader's `messages`."""

    def __init__(self, file, messages):
        self.file = file
        self.messages = list(messages)
        errors = [str(m) for m in self.messages if m.severity == "error"] or ["unreadable"]
        super().__init__(f"{file}: " + "; ".join(errors))


class AnalysisError(PipenetError, RuntimeError):
    """An analysis that did not solve: its `outcome` ('not_converged', 'singular', 'refused')
    and its `messages` (Message objects with severity, code and text)."""

    def __init__(self, outcome, messages):
        self.outcome = outcome
        self.messages = list(messages)
        details = "; ".join(m.text for m in self.messages if m.severity == "error")
        super().__init__(f"analysis {outcome}" + (f": {details}" if details else ""))
