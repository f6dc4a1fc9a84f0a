# Drives one LibreOffice listener for PdfConverter: connects over the UNO
# pipe given as the first argument, then reads one request a line on
# standard input and answers each on standard output.
#   CONVERT <document URL> <import filter> <PDF URL>  ->  OK | ERROR <message>
# and LOST <message> when the office itself is gone, after which the client ends.
# The office is told to end when standard input ends.
import sys
import time

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.connection import NoConnectException


def properties(**values):
    result = []
    for name, value in values.items():
        item = PropertyValue()
        item.Name = name
        item.Value = value
        result.append(item)
    return tuple(result)


def answer(line):
    sys.stdout.write(line + "\n")
    sys.stdout.flush()


def connect(pipe, seconds):
    local = uno.getComponentContext()
    resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
    deadline = time.monotonic() + seconds
    while True:
        try:
            context = resolver.resolve("uno:pipe,name=%s;urp;StarOffice.ComponentContext" % pipe)
            return context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
        except NoConnectException:
            if time.monotonic() > deadline:
                raise
            time.sleep(0.05)


def convert(desktop, source, importFilter, target):
    # Never run macros nor update links: the document is only printed.
    document = desktop.loadComponentFromURL(
        source, "_blank", 0,
        properties(Hidden=True, ReadOnly=True, FilterName=importFilter, MacroExecutionMode=0, UpdateDocMode=0))
    if document is None:
        raise RuntimeError("document not loaded")
    try:
        document.storeToURL(target, properties(FilterName="writer_pdf_Export"))
    finally:
        document.close(True)


def alive(desktop):
    try:
        desktop.getFrames()
        return True
    except Exception:
        return False


def main():
    try:
        desktop = connect(sys.argv[1], float(sys.argv[2]))
    except Exception as error:
        answer("ERROR " + " ".join(str(error).split()))
        return 1
    answer("READY")
    for line in sys.stdin:
        fields = line.rstrip("\n").split("\t")
        if len(fields) != 4 or fields[0] != "CONVERT":
            answer("ERROR bad request")
            continue
        try:
            convert(desktop, fields[1], fields[2], fields[3])
            answer("OK")
        except Exception as error:
            # The office is gone (crashed, killed): nothing more can be done
            # here. A bridge torn down during a call says so by a plain
            # RuntimeException, so the office is asked once more to be sure.
            if type(error).__name__ == "DisposedException" or not alive(desktop):
                answer("LOST " + " ".join(str(error).split()))
                return 1
            answer("ERROR " + " ".join(str(error).split()))
    try:
        desktop.terminate()
    except Exception:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
