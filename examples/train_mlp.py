"""Train a two-layer classifier end to end with mosswick.

Weights start from seeded Tensor.randn; the forward pass is Tensor.matmul,
add_bias_inplace and relu_inplace with seeded dropout while training; the loss
and its gradient come from softmax_cross_entropy; the backward pass uses matmul
with transpose_a / transpose_b and relu_derivative; the update is clip_grad_norm
then adam_step on flat parameter buffers. NumPy only holds the data and sums
the bias gradients.

Data: scikit-learn's bundled handwritten digits (8x8 images, no download) when
scikit-learn is installed, otherwise a generated set of well-separated clusters.
"""

import math
import time

import numpy as np
from numpy.typing import NDArray

import mosswick
from mosswick import Tensor

HIDDEN = 96
EPOCHS = 30
BATCH = 64
DROPOUT = 0.1
LEARNING_RATE = 0.005
MAX_GRAD_NORM = 5.0


def load_data() -> tuple[str, NDArray[np.float64], NDArray[np.int64]]:
    try:
        from sklearn.datasets import load_digits
    except ImportError:
        rng = np.random.default_rng(0)
        centres = rng.normal(0.0, 1.0, (10, 64))
        labels = rng.integers(0, 10, 1800)
        features = centres[labels] + rng.normal(0.0, 1.4, (1800, 64))
        return "generated clusters (scikit-learn is not installed)", features, labels.astype(np.int64)
    digits = load_digits()
    return "scikit-learn's handwritten digits", digits.data / 16.0, digits.target.astype(np.int64)


class Model:
    """W1 (inputs x hidden), b1, W2 (hidden x classes), b2, all views of one flat buffer."""

    def __init__(self, inputs: int, classes: int) -> None:
        shapes = [(inputs, HIDDEN), (HIDDEN,), (HIDDEN, classes), (classes,)]
        sizes = [math.prod(s) for s in shapes]
        self.params = np.zeros(sum(sizes))
        self.m = np.zeros_like(self.params)
        self.v = np.zeros_like(self.params)
        self.step = 0
        offsets = np.cumsum([0] + sizes)
        self.views = [self.params[a:b].reshape(s) for a, b, s in zip(offsets[:-1], offsets[1:], shapes)]
        for seed, (weights, fan_in) in enumerate([(self.views[0], inputs), (self.views[2], HIDDEN)]):
            init = Tensor.randn(list(weights.shape), seed=seed).mul_scalar(math.sqrt(2.0 / fan_in))
            weights[...] = init.data.reshape(weights.shape)

    def forward(self, x: Tensor, dropout_seed: int | None) -> tuple[Tensor, Tensor, Tensor | None]:
        """(hidden activations after dropout, logits, dropout scale mask or None)."""
        w1, b1, w2, b2 = self.views
        hidden = x.matmul(Tensor(w1))
        hidden.add_bias_inplace(b1)
        hidden.relu_inplace()
        mask = None
        if dropout_seed is not None:
            # The same seed draws the same mask: applied to ones it gives the mask itself.
            shape = hidden.shape
            mask = Tensor(mosswick.dropout(np.ones(math.prod(shape)), DROPOUT, dropout_seed).reshape(shape))
            hidden = hidden.mul_elementwise(mask)
        logits = hidden.matmul(Tensor(w2))
        logits.add_bias_inplace(b2)
        return hidden, logits, mask

    def train_batch(self, features: NDArray[np.float64], labels: NDArray[np.int64], seed: int) -> float:
        x = Tensor(features)
        hidden, logits, mask = self.forward(x, dropout_seed=seed)
        loss, d_logits = mosswick.softmax_cross_entropy(logits.data.reshape(logits.shape), labels)
        d_out = Tensor(d_logits)
        _, _, w2, _ = self.views
        d_hidden = d_out.matmul(Tensor(w2), transpose_b=True).mul_elementwise(hidden.relu_derivative())
        if mask is not None:
            d_hidden = d_hidden.mul_elementwise(mask)
        grads = np.concatenate([
            x.matmul(d_hidden, transpose_a=True).data,
            d_hidden.data.reshape(d_hidden.shape).sum(axis=0),
            hidden.matmul(d_out, transpose_a=True).data,
            d_logits.sum(axis=0),
        ])
        mosswick.clip_grad_norm(grads, MAX_GRAD_NORM)
        self.step += 1
        mosswick.adam_step(self.params, grads, self.m, self.v, lr=LEARNING_RATE, t=self.step)
        return loss

    def accuracy(self, features: NDArray[np.float64], labels: NDArray[np.int64]) -> float:
        _, logits, _ = self.forward(Tensor(features), dropout_seed=None)
        predicted = logits.data.reshape(logits.shape).argmax(axis=1)
        return float((predicted == labels).mean())


def main() -> None:
    source, features, labels = load_data()
    print(f"data: {source}, {len(labels)} samples of {features.shape[1]} features")
    order = np.random.default_rng(1).permutation(len(labels))
    split = int(0.8 * len(labels))
    train, test = order[:split], order[split:]
    model = Model(features.shape[1], int(labels.max()) + 1)
    start = time.perf_counter()
    for epoch in range(1, EPOCHS + 1):
        shuffled = np.random.default_rng(100 + epoch).permutation(train)
        losses = []
        for first in range(0, len(shuffled), BATCH):
            batch = shuffled[first:first + BATCH]
            losses.append(model.train_batch(features[batch], labels[batch], seed=epoch * 10_000 + first))
        train_accuracy = model.accuracy(features[train], labels[train])
        test_accuracy = model.accuracy(features[test], labels[test])
        print(f"epoch {epoch:2d}  loss {np.mean(losses):.4f}  train accuracy {train_accuracy:.3f}  "
              f"test accuracy {test_accuracy:.3f}  {time.perf_counter() - start:5.2f} s")
    print(f"final test accuracy: {model.accuracy(features[test], labels[test]):.4f}")


if __name__ == "__main__":
    main()
