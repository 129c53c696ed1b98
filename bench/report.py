"""The report of a benchmark: printed as it is made, and written into its own
section of docs/performance.md, between the markers

    <!-- bench:NAME -->
    <!-- /bench:NAME -->

so that the text around each table stays as written and every run replaces
only its own table."""
import re
from pathlib import Path

DOC = Path(__file__).resolve().parent.parent / "docs/performance.md"


class Report:
    def __init__(self):
        self.lines = []

    def line(self, text):
        print(text)
        self.lines.append(text)

    def publish(self, name):
        start, end = f"<!-- bench:{name} -->", f"<!-- /bench:{name} -->"
        text = DOC.read_text()
        pattern = re.compile(re.escape(start) + r".*?" + re.escape(end), re.S)
        if not pattern.search(text):
            print(f"(docs/performance.md has no {start} section: the report is not kept)")
            return
        body = "\n".join(self.lines).strip("\n")
        DOC.write_text(pattern.sub(lambda _: f"{start}\n{body}\n{end}", text))
        print(f"Written to {DOC.relative_to(DOC.parent.parent)}.")
