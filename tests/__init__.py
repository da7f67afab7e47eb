"""The card's and the feed service's tests; tests.support holds what their
Python scripts share."""
